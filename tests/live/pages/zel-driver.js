// A chat page that changes as the test server says, step by step: with
// "driven" in its address, it asks the server for the steps after the last
// it applied (GET /zel-steps?applied=N) and applies them. Every chat page of
// the live desktop loads it; the steps are made by the tests and benchmarks.
if (location.search.includes("driven")) {
  const list = document.querySelector("main > div");
  const template = list.children[1].cloneNode(true);
  const turns = () => Array.from(list.children);
  const turn = (i) => turns()[i % turns().length];
  const textIn = (el) => {
    const walker = document.createTreeWalker(el, NodeFilter.SHOW_TEXT, (n) => n.data.trim() ? NodeFilter.FILTER_ACCEPT : NodeFilter.FILTER_SKIP);
    let last = null, first = null;
    while (walker.nextNode()) { last = walker.currentNode; first = first || last; }
    return {first, last};
  };
  const apply = (step) => {
    if (step.op === "append") {
      const t = template.cloneNode(true);
      t.querySelector("p").textContent = step.text;
      list.appendChild(t);
    } else if (step.op === "edit") {
      const {first} = textIn(turn(step.turn));
      if (first) first.data = step.text;
    } else if (step.op === "remove") {
      if (turns().length > 2) turn(step.turn).remove();
    } else if (step.op === "stream") {
      const {last} = textIn(turns()[turns().length - 1].querySelector("[class^=font-]"));
      if (last) last.data += " " + step.word;
    } else if (step.op === "code") {
      const pre = document.createElement("pre");
      const code = document.createElement("code");
      code.textContent = step.text;
      pre.appendChild(code);
      turn(step.turn).querySelector("[class^=font-]").appendChild(pre);
    } else if (step.op === "stop") {
      stopped = true;
    } else if (step.op === "scroll") {
      window.scrollTo(0, step.y);
    }
  };
  let applied = 0;
  let stopped = false;  // "stop": asks no more (a benchmark measures the page idle)
  const poll = async () => {
    try {
      const steps = await (await fetch("/zel-steps?applied=" + applied, {cache: "no-store"})).json();
      for (const step of steps) { apply(step); applied++; }
    } catch (e) {}
    if (!stopped) setTimeout(poll, 30);
    else fetch("/zel-steps?applied=" + applied, {cache: "no-store"}).catch(() => {});  // says it stopped
  };
  poll();
}
