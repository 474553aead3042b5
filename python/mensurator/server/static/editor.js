// The live editor: renders the document about 200 ms after the last key, keeps the last good
// sheet while the text has an error, and marks the failing line with the engine's message.
"use strict";

const RENDER_DELAY_MS = 200;

const source = document.getElementById("source");
const gutter = document.getElementById("gutter");
const backdrop = document.getElementById("backdrop");
const preview = document.getElementById("preview");
const problem = document.getElementById("problem");
const status = document.getElementById("status");
const settings = document.body.dataset;

let timer = null;
let latestRequest = 0;
let failure = null; // the current document error, or null
let savedText = source.value;

function post(path) {
  return fetch(path, {
    method: "POST",
    headers: { "Content-Type": "application/json" },
    // The page token lets the server drop this page's renders that a newer one superseded.
    body: JSON.stringify({ text: source.value, page: settings.page }),
  });
}

async function messageOf(response) {
  try {
    return (await response.json()).message || response.statusText;
  } catch (error) {
    return `${response.status} ${response.statusText}`;
  }
}

function setStatus(text) {
  status.textContent = text;
  status.classList.toggle("dirty", source.value !== savedText && !settings.saveReason);
}

function element(tag, className, text) {
  const node = document.createElement(tag);
  if (className) node.className = className;
  if (text !== undefined) node.textContent = text;
  return node;
}

// Line numbers and the backdrop that highlights the failing line (and column) under the text.
// Only what changed is redrawn: the lines between the unchanged start and end of the text,
// numbers added or removed at the end, and the lines whose mark changed. A keystroke in a long
// document thus touches a line or two, not every line.
let drawnLines = [];
let markedLine = 0; // the line drawn as failing, or 0

function shadowLine(text, number) {
  const failing = failure !== null && failure.line === number;
  const shadow = element("div", failing ? "error" : "");
  if (failing && failure.column) {
    const at = failure.column - 1;
    shadow.append(text.slice(0, at), element("span", "column", text.slice(at, at + 1) || " "));
    shadow.append(text.slice(at + 1));
  } else {
    shadow.textContent = text;
  }
  return shadow;
}

function drawLines() {
  const lines = source.value.split("\n");
  while (gutter.childElementCount < lines.length) {
    gutter.append(element("div", "", String(gutter.childElementCount + 1)));
  }
  while (gutter.childElementCount > lines.length) gutter.lastElementChild.remove();

  let start = 0;
  while (start < lines.length && start < drawnLines.length && lines[start] === drawnLines[start]) {
    start++;
  }
  let endNew = lines.length;
  let endOld = drawnLines.length;
  while (endNew > start && endOld > start && lines[endNew - 1] === drawnLines[endOld - 1]) {
    endNew--;
    endOld--;
  }
  for (let index = endOld - 1; index >= start; index--) backdrop.children[index].remove();
  const changed = document.createDocumentFragment();
  for (let index = start; index < endNew; index++) {
    changed.append(shadowLine(lines[index], index + 1));
  }
  backdrop.insertBefore(changed, backdrop.children[start] || null);
  drawnLines = lines;

  const failingLine = failure === null ? 0 : failure.line;
  for (const number of new Set([markedLine, failingLine])) {
    if (number < 1 || number > lines.length) continue;
    backdrop.children[number - 1].replaceWith(shadowLine(lines[number - 1], number));
    gutter.children[number - 1].className = number === failingLine ? "error" : "";
  }
  markedLine = failingLine;
  followScroll();
}

function followScroll() {
  gutter.scrollTop = source.scrollTop;
  backdrop.scrollTop = source.scrollTop;
  backdrop.scrollLeft = source.scrollLeft;
}

function showProblem(error) {
  failure = error;
  const where = error.column ? `Line ${error.line}, column ${error.column}` : `Line ${error.line}`;
  problem.replaceChildren(element("span", "location", where), `: ${error.reason}`);
  for (const hint of error.hints) problem.append("\n", element("span", "hint", `hint: ${hint}`));
  problem.hidden = false;
  preview.classList.add("stale");
  drawLines();
}

function clearProblem() {
  if (failure === null) return;
  failure = null;
  problem.hidden = true;
  preview.classList.remove("stale");
  drawLines();
}

async function renderNow() {
  const request = ++latestRequest;
  let response;
  let answer;
  try {
    response = await post("/api/render");
    answer = response.ok ? await response.json() : null;
  } catch (error) {
    if (request === latestRequest) setStatus("the server cannot be reached");
    return;
  }
  if (request !== latestRequest) return; // a newer rendering is on its way
  if (answer !== null && answer.superseded) return;
  if (answer === null) {
    setStatus(`not rendered: ${await messageOf(response)}`);
  } else if (answer.ok) {
    preview.innerHTML = answer.sheet; // built and escaped by the server, MathML only
    clearProblem();
    const shown = answer.unconverted.length;
    setStatus(shown ? `rendered; ${shown} shown as LaTeX` : "rendered");
  } else {
    showProblem(answer.error);
    setStatus("error: the last good sheet is shown");
  }
}

function scheduleRender() {
  clearTimeout(timer);
  timer = setTimeout(renderNow, RENDER_DELAY_MS);
}

async function save() {
  if (settings.saveReason) return;
  const text = source.value;
  const response = await post("/api/save").catch(() => null);
  if (response === null) {
    setStatus("not saved: the server cannot be reached");
  } else if (response.ok) {
    savedText = text;
    setStatus(`saved ${(await response.json()).saved}`);
  } else {
    setStatus(`not saved: ${await messageOf(response)}`);
  }
}

async function download(kind) {
  setStatus(`preparing .${kind}…`);
  const response = await post(`/api/export/${kind}`).catch(() => null);
  if (response === null) {
    setStatus("the server cannot be reached");
    return;
  }
  if (!response.ok) {
    setStatus(`no .${kind}: ${await messageOf(response)}`);
    return;
  }
  const link = element("a");
  link.href = URL.createObjectURL(await response.blob());
  link.download = `${settings.stem}.${kind}`;
  document.body.append(link);
  link.click();
  link.remove();
  setTimeout(() => URL.revokeObjectURL(link.href), 10000);
  setStatus(`downloaded ${link.download}`);
}

function disable(button, reason, label) {
  button.disabled = true;
  button.title = reason;
  if (label) button.textContent = label;
}

const saveButton = document.getElementById("save");
const pdfButton = document.getElementById("download-pdf");
if (settings.saveReason) disable(saveButton, settings.saveReason);
if (settings.pdfReason) disable(pdfButton, settings.pdfReason, `.pdf: ${settings.pdfReason}`);

saveButton.addEventListener("click", save);
pdfButton.addEventListener("click", () => download("pdf"));
document.getElementById("download-tex").addEventListener("click", () => download("tex"));
document.getElementById("download-html").addEventListener("click", () => download("html"));
source.addEventListener("input", () => {
  drawLines();
  setStatus("typing…");
  scheduleRender();
});
source.addEventListener("scroll", followScroll);
document.addEventListener("keydown", (event) => {
  if ((event.ctrlKey || event.metaKey) && event.key === "s") {
    event.preventDefault();
    save();
  }
});
window.addEventListener("beforeunload", (event) => {
  if (!settings.saveReason && source.value !== savedText) event.preventDefault();
});

drawLines();
renderNow();
