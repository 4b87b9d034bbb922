#pragma once
// The macOS accessibility vocabulary the library speaks, named once: the
// attributes it asks for, the roles and subroles it tells apart. Backends
// translate their own system's interface into these names; the library and
// the backends use the constants, never the text. (Character arrays, so that
// each is a `const char*`, a `std::string_view` and a `std::string` alike.)

namespace zel::AX {

// ---- attributes ----
inline constexpr char Children[] = "AXChildren";
inline constexpr char DOMClassList[] = "AXDOMClassList";
inline constexpr char DOMIdentifier[] = "AXDOMIdentifier";
inline constexpr char Description[] = "AXDescription";
inline constexpr char EnhancedUserInterface[] = "AXEnhancedUserInterface";
inline constexpr char FocusedWindow[] = "AXFocusedWindow";
inline constexpr char Identifier[] = "AXIdentifier";
inline constexpr char MainWindow[] = "AXMainWindow";
inline constexpr char ManualAccessibility[] = "AXManualAccessibility";
inline constexpr char MenuBar[] = "AXMenuBar";
inline constexpr char Role[] = "AXRole";
inline constexpr char Subrole[] = "AXSubrole";
inline constexpr char Title[] = "AXTitle";
inline constexpr char URL[] = "AXURL";
inline constexpr char Value[] = "AXValue";
inline constexpr char Windows[] = "AXWindows";

// ---- roles ----
inline constexpr char Application[] = "AXApplication";
inline constexpr char Button[] = "AXButton";
inline constexpr char Cell[] = "AXCell";
inline constexpr char CheckBox[] = "AXCheckBox";
inline constexpr char ComboBox[] = "AXComboBox";
inline constexpr char DisclosureTriangle[] = "AXDisclosureTriangle";
inline constexpr char Group[] = "AXGroup";
inline constexpr char Heading[] = "AXHeading";
inline constexpr char Image[] = "AXImage";
inline constexpr char Incrementor[] = "AXIncrementor";
inline constexpr char Link[] = "AXLink";
inline constexpr char List[] = "AXList";
inline constexpr char ListMarker[] = "AXListMarker";
inline constexpr char Menu[] = "AXMenu";
inline constexpr char MenuBarItem[] = "AXMenuBarItem";
inline constexpr char MenuItem[] = "AXMenuItem";
inline constexpr char Outline[] = "AXOutline";
inline constexpr char PopUpButton[] = "AXPopUpButton";
inline constexpr char ProgressIndicator[] = "AXProgressIndicator";
inline constexpr char RadioButton[] = "AXRadioButton";
inline constexpr char Row[] = "AXRow";
inline constexpr char ScrollArea[] = "AXScrollArea";
inline constexpr char ScrollBar[] = "AXScrollBar";
inline constexpr char Slider[] = "AXSlider";
inline constexpr char Splitter[] = "AXSplitter";
inline constexpr char StaticText[] = "AXStaticText";
inline constexpr char TabGroup[] = "AXTabGroup";
inline constexpr char Table[] = "AXTable";
inline constexpr char TextArea[] = "AXTextArea";
inline constexpr char TextField[] = "AXTextField";
inline constexpr char Toolbar[] = "AXToolbar";
inline constexpr char WebArea[] = "AXWebArea";
inline constexpr char Window[] = "AXWindow";

// ---- subroles ----
inline constexpr char ApplicationAlert[] = "AXApplicationAlert";
inline constexpr char ApplicationAlertDialog[] = "AXApplicationAlertDialog";
inline constexpr char ApplicationDialog[] = "AXApplicationDialog";
inline constexpr char ApplicationLog[] = "AXApplicationLog";
inline constexpr char ApplicationStatus[] = "AXApplicationStatus";
inline constexpr char ContentList[] = "AXContentList";
inline constexpr char DescriptionList[] = "AXDescriptionList";
inline constexpr char Dialog[] = "AXDialog";
inline constexpr char DocumentArticle[] = "AXDocumentArticle";
inline constexpr char DocumentMath[] = "AXDocumentMath";
inline constexpr char DocumentNote[] = "AXDocumentNote";
inline constexpr char EmptyGroup[] = "AXEmptyGroup";
inline constexpr char OutlineRow[] = "AXOutlineRow";
inline constexpr char SectionFooter[] = "AXSectionFooter";
inline constexpr char SecureTextField[] = "AXSecureTextField";
inline constexpr char StandardWindow[] = "AXStandardWindow";
inline constexpr char TabButton[] = "AXTabButton";
inline constexpr char TimeGroup[] = "AXTimeGroup";
inline constexpr char Toggle[] = "AXToggle";
inline constexpr char LandmarkApplication[] = "AXLandmarkApplication";
inline constexpr char LandmarkBanner[] = "AXLandmarkBanner";
inline constexpr char LandmarkComplementary[] = "AXLandmarkComplementary";
inline constexpr char LandmarkContentInfo[] = "AXLandmarkContentInfo";
inline constexpr char LandmarkForm[] = "AXLandmarkForm";
inline constexpr char LandmarkMain[] = "AXLandmarkMain";
inline constexpr char LandmarkNavigation[] = "AXLandmarkNavigation";
inline constexpr char LandmarkRegion[] = "AXLandmarkRegion";
inline constexpr char LandmarkSearch[] = "AXLandmarkSearch";

}  // namespace zel::AX
