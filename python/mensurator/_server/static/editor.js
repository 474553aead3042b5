// The live editor: renders the document about 200 ms after the last key, keeps the last good
// sheet while the text has an error, marks every error and warning at its line and column
// with the engine's message, and shows the text highlighted as the server's lexer reads it.
// It follows the file on disk: a change made elsewhere is loaded when the page has no unsaved
// edits and otherwise offered next to them, and a save never overwrites such a change unless
// the author says so.
"use strict";

const RENDER_DELAY_MS = 200;
// After a failed wait for a change of the file, the page asks again this much later.
const RETRY_DELAY_MS = 2000;

const source = document.getElementById("source");
const gutter = document.getElementById("gutter");
const backdrop = document.getElementById("backdrop");
const highlight = document.getElementById("highlight");
const notice = document.getElementById("notice");
const preview = document.getElementById("preview");
const problem = document.getElementById("problem");
const status = document.getElementById("status");
const settings = document.body.dataset;

let timer = null;
let latestRequest = 0;
let problemsByLine = new Map(); // line number -> the last render's problems on it, by column
let shownProblems = "[]"; // the same as JSON: a render that finds the same ones redraws nothing
let savedText = source.value;
let diskVersion = settings.version; // the file's version the text was loaded or saved as
let seenVersion = settings.version; // the newest version of the file the page has heard of
let savingText = null; // the text of the save on its way: its change of the file is no news
// While the author chooses between the file's new version and their unsaved edits, the one
// not shown: its text, the file version it is based on, and the text saved under that version.
let alternative = null;

function post(path, extra = {}) {
  return fetch(path, {
    method: "POST",
    headers: { "Content-Type": "application/json" },
    // The page token lets the server drop this page's renders that a newer one superseded.
    body: JSON.stringify({ text: source.value, page: settings.page, ...extra }),
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

// Line numbers and the backdrop that highlights the lines with problems under the text, and
// each problem's columns on its line. Only what changed is redrawn: the lines between the
// unchanged start and end of the text, numbers added or removed at the end, and the marked
// lines when the marks changed or lines moved under them. A keystroke in a long document
// thus touches a few lines, not every line, however many problems it has.
let drawnLines = [];
let markedLines = new Set(); // the line numbers drawn with a mark
// Per drawn line, the pieces its highlighting was drawn from and the same as JSON (null while
// it is drawn plain): the socket's answers keep the very pieces of unchanged lines, which are
// then passed over without being written out as JSON.
let highlightKeys = [];

function severityOf(lineProblems) {
  return lineProblems.some((problem) => problem.severity === "error") ? "error" : "warning";
}

function shadowLine(text, number) {
  const marked = problemsByLine.get(number);
  if (marked === undefined) return element("div", "", text);
  const shadow = element("div", severityOf(marked));
  // The engine counts columns in characters, not in UTF-16 units as string indices do.
  const characters = Array.from(text);
  let drawn = 0;
  for (const problem of marked) {
    if (!problem.column) continue;
    // Overlapping spans are cut where the one before ends; each problem keeps its mark.
    const start = Math.max(problem.column - 1, drawn);
    const end = Math.max(problem.end_column ? problem.end_column - 1 : problem.column, start);
    shadow.append(characters.slice(drawn, start).join(""));
    const covered = characters.slice(start, end).join("");
    // A column just past the line's end (a missing operand) is shown as a blank.
    const shown = covered || (start >= characters.length ? " " : "");
    shadow.append(element("mark", `at-${problem.severity}`, shown));
    drawn = Math.max(drawn, end);
  }
  shadow.append(characters.slice(drawn).join(""));
  return shadow;
}

// Lines start to end (exclusive) of a pane of one element per line, removed in one step: a
// removal makes the browser count a pane's children again for the next index, so one at a time
// would take time growing with the square of the lines removed.
function removeLines(pane, start, end) {
  if (end <= start) return;
  const cut = document.createRange();
  cut.setStartBefore(pane.children[start]);
  cut.setEndAfter(pane.children[end - 1]);
  cut.deleteContents();
}

function drawLines(marksChanged = false) {
  const lines = source.value.split("\n");
  // Counted once: after each change of the gutter the browser would count its children anew.
  const numbered = gutter.childElementCount;
  if (numbered < lines.length) {
    const numbers = document.createDocumentFragment();
    for (let number = numbered + 1; number <= lines.length; number++) {
      numbers.append(element("div", "", String(number)));
    }
    gutter.append(numbers);
  }
  removeLines(gutter, lines.length, numbered);

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
  removeLines(backdrop, start, endOld);
  removeLines(highlight, start, endOld);
  const changed = document.createDocumentFragment();
  const plain = document.createDocumentFragment();
  for (let index = start; index < endNew; index++) {
    changed.append(shadowLine(lines[index], index + 1));
    // Plain until the next render brings the line's highlighting.
    plain.append(element("div", "", lines[index]));
  }
  backdrop.insertBefore(changed, backdrop.children[start] || null);
  highlight.insertBefore(plain, highlight.children[start] || null);
  // Not a splice: a pasted document's lines are too many to pass as the arguments of one call.
  const plainKeys = new Array(endNew - start).fill(null);
  highlightKeys = highlightKeys.slice(0, start).concat(plainKeys, highlightKeys.slice(endOld));
  const moved = lines.length !== drawnLines.length;
  drawnLines = lines;

  // Until the next render a mark belongs to its line number: typing above does not move it.
  const marking = new Set(problemsByLine.keys());
  for (const number of new Set([...markedLines, ...marking])) {
    if (number < 1 || number > lines.length) continue;
    if (!marksChanged && !(moved && number > start)) continue;
    backdrop.children[number - 1].replaceWith(shadowLine(lines[number - 1], number));
    const marked = problemsByLine.get(number);
    gutter.children[number - 1].className = marked === undefined ? "" : severityOf(marked);
  }
  markedLines = marking;
  followScroll();
}

function followScroll() {
  gutter.scrollTop = source.scrollTop;
  for (const layer of [backdrop, highlight]) {
    layer.scrollTop = source.scrollTop;
    layer.scrollLeft = source.scrollLeft;
  }
}

// The highlighting of a render: each line's pieces [class, text], drawn where the line still
// reads as it did when it was sent and differs from what is drawn.
function showHighlight(lines) {
  const count = Math.min(lines.length, drawnLines.length);
  // Walked along, not indexed: each replacement makes the browser count the children anew.
  let next = highlight.firstElementChild;
  for (let index = 0; index < count; index++) {
    const shown = next;
    next = next.nextElementSibling;
    const pieces = lines[index];
    const drawn = highlightKeys[index];
    if (drawn !== null && drawn.pieces === pieces) continue;
    const key = JSON.stringify(pieces);
    if (drawn !== null && drawn.key === key) {
      drawn.pieces = pieces;
      continue;
    }
    if (pieces.map((piece) => piece[1]).join("") !== drawnLines[index]) continue;
    const line = element("div");
    for (const [name, text] of pieces) line.append(name ? element("span", name, text) : text);
    shown.replaceWith(line);
    highlightKeys[index] = { pieces, key };
  }
}

function problemEntry(found) {
  const entry = element("div", found.severity);
  const where = found.column ? `Line ${found.line}, column ${found.column}` : `Line ${found.line}`;
  const label = found.severity === "warning" ? "warning: " : "";
  entry.append(element("span", "location", where), `: ${label}${found.reason}`);
  for (const hint of found.hints) entry.append("\n", element("span", "hint", `hint: ${hint}`));
  return entry;
}

// The problems of the last render, listed in the engine's order and marked in the text; a
// failed document's sheet is the last good one, shown as stale.
function showProblems(problems, failed) {
  problem.classList.toggle("failed", failed);
  preview.classList.toggle("stale", failed);
  const shown = JSON.stringify(problems);
  if (shown === shownProblems) return;
  shownProblems = shown;
  problemsByLine = new Map();
  for (const found of problems) {
    if (!problemsByLine.has(found.line)) problemsByLine.set(found.line, []);
    problemsByLine.get(found.line).push(found);
  }
  for (const marked of problemsByLine.values()) {
    marked.sort((one, other) => (one.column || 0) - (other.column || 0));
  }
  // A fragment, not spread arguments: a long document can have more problems than a call takes.
  const entries = document.createDocumentFragment();
  for (const found of problems) entries.append(problemEntry(found));
  problem.replaceChildren(entries);
  problem.hidden = problems.length === 0;
  drawLines(true);
}

// The preview shows the sheet's HTML lines: "<article ...>", an element per line, "</article>".
// A new sheet replaces only the elements of the lines that changed, since the browser takes
// milliseconds per hundred math lines to parse and lay out a whole sheet again. The lines the
// preview shows, or null while its nodes are not those of such a sheet (then it is replaced
// whole).
let shownSheet = null;

// True when the first 2 * count nodes are count elements, each after a line end: the nodes
// that count lines parse to, each one element, when every one follows a "\n".
function lineElements(nodes, count) {
  for (let index = 0; index < count; index++) {
    const before = nodes[2 * index];
    if (before.nodeType !== Node.TEXT_NODE || before.data !== "\n") return false;
    if (nodes[2 * index + 1].nodeType !== Node.ELEMENT_NODE) return false;
  }
  return true;
}

function previewConforms(lines) {
  const article = preview.firstChild;
  if (preview.childNodes.length !== 1 || article.nodeName !== "ARTICLE") return false;
  if (lines.length < 2 || lines[lines.length - 1] !== "</article>") return false;
  const count = lines.length - 2;
  const nodes = article.childNodes;
  if (nodes.length !== 2 * count + 1 || nodes[2 * count].data !== "\n") return false;
  return lineElements(nodes, count);
}

// Line `start` and the `removed` lines from it, in the preview, replaced by `inserted`; false
// (and the preview untouched) when the change is not one of whole elements between the
// article's own lines.
function patchPreview([start, removed, inserted]) {
  if (removed === 0 && inserted.length === 0) return true; // the same sheet
  if (start < 1 || start + removed > shownSheet.length - 1) return false;
  const template = document.createElement("template");
  template.innerHTML = inserted.map((line) => "\n" + line).join(""); // escaped by the server
  const added = template.content;
  if (added.childNodes.length !== 2 * inserted.length) return false;
  if (!lineElements(added.childNodes, inserted.length)) return false;
  const nodes = preview.firstChild.childNodes;
  // Line n (from 1) is the "\n" at node 2n - 2 and its element after it.
  const cut = document.createRange();
  cut.setStartBefore(nodes[2 * start - 2]);
  cut.setEndBefore(nodes[2 * (start + removed) - 2]);
  cut.deleteContents();
  preview.firstChild.insertBefore(added, nodes[2 * start - 2]);
  return true;
}

function showSheet(lines) {
  if (shownSheet !== null && patchPreview(changeBetween(shownSheet, lines))) {
    shownSheet = lines;
    return;
  }
  preview.innerHTML = lines.join("\n"); // built and escaped by the server, MathML only
  shownSheet = previewConforms(lines) ? lines : null;
}

function countOf(count, what) {
  return count === 1 ? `1 ${what}` : `${count} ${what}s`;
}

// Renders go over one socket per page while it is open: a message each way per render, with no
// request headers. Without it (not yet open, closed, or refused) they go to /api/render.
let socket = null;
const socketRenders = new Map(); // request number -> { resolve, reject } of its answer
// The socket sends the highlighted lines and the lines of the sheet's HTML as changes to what it
// sent before, every answer in turn, whether or not its render is still wanted; these are the
// lists as changed so far. A new socket starts from empty lists.
let socketLines = [];
let socketSheet = [];
let sentLines = null; // the text's lines as last sent over the socket

// The list with change [start, removed, inserted] applied (a copy: a long document's lines are
// too many to pass as the arguments of one splice).
function changed(list, [start, removed, inserted]) {
  return list.slice(0, start).concat(inserted, list.slice(start + removed));
}

function openSocket() {
  const scheme = location.protocol === "https:" ? "wss" : "ws";
  let opening;
  try {
    opening = new WebSocket(`${scheme}://${location.host}/api/live`);
  } catch (error) {
    return;
  }
  opening.addEventListener("open", () => {
    socketLines = [];
    socketSheet = [];
    sentLines = null;
    socket = opening;
  });
  opening.addEventListener("message", (event) => {
    const answer = JSON.parse(event.data);
    if (answer.highlight !== undefined) {
      socketLines = changed(socketLines, answer.highlight);
      answer.highlight = socketLines;
    }
    if (answer.sheet !== undefined) {
      socketSheet = changed(socketSheet, answer.sheet);
      answer.sheetLines = socketSheet;
      delete answer.sheet;
    }
    const waiting = socketRenders.get(answer.request);
    if (waiting === undefined) return;
    socketRenders.delete(answer.request);
    waiting.resolve(answer);
  });
  opening.addEventListener("close", () => {
    const wasOpen = socket === opening;
    if (wasOpen) socket = null;
    for (const waiting of socketRenders.values()) waiting.reject(new Error("socket closed"));
    socketRenders.clear();
    // A socket that opened and dropped (the server restarted) is opened again; one the server
    // never accepted is not asked for again: the page renders over HTTP.
    if (wasOpen) setTimeout(openSocket, RETRY_DELAY_MS);
  });
}

// The change [start, removed, inserted] that turns list `before` into `after`: what lies between
// their common start and their common end.
function changeBetween(before, after) {
  let start = 0;
  const limit = Math.min(before.length, after.length);
  while (start < limit && before[start] === after[start]) start++;
  let endBefore = before.length;
  let endAfter = after.length;
  while (endBefore > start && endAfter > start && before[endBefore - 1] === after[endAfter - 1]) {
    endBefore--;
    endAfter--;
  }
  return [start, endBefore - start, after.slice(start, endAfter)];
}

function renderOverSocket(request) {
  return new Promise((resolve, reject) => {
    socketRenders.set(request, { resolve, reject });
    const lines = source.value.split("\n");
    // After the first message, the text goes as the change of its lines since the last one.
    const message = { page: settings.page, request };
    if (sentLines === null) message.text = source.value;
    else message.lines = changeBetween(sentLines, lines);
    socket.send(JSON.stringify(message));
    sentLines = lines;
  });
}

// The answer to a render (null with the response when the server refused it over HTTP).
async function renderAnswer(request) {
  if (socket !== null) {
    try {
      return { answer: await renderOverSocket(request), response: null };
    } catch (error) {
      // The socket closed on the way: the render goes over HTTP instead.
    }
  }
  const response = await post("/api/render");
  return { answer: response.ok ? await response.json() : null, response };
}

async function renderNow() {
  const request = ++latestRequest;
  let response;
  let answer;
  try {
    ({ answer, response } = await renderAnswer(request));
  } catch (error) {
    if (request === latestRequest) setStatus("the server cannot be reached");
    return;
  }
  if (request !== latestRequest) return; // a newer rendering is on its way
  if (answer !== null && answer.superseded) return;
  if (answer !== null && answer.refused !== undefined) {
    setStatus(`not rendered: ${answer.refused}`);
    return;
  }
  if (answer !== null) showHighlight(answer.highlight);
  if (answer === null) {
    setStatus(`not rendered: ${await messageOf(response)}`);
  } else if (answer.ok) {
    showSheet(answer.sheetLines || answer.sheet.split("\n"));
    showProblems(answer.problems, false);
    const notes = [];
    if (answer.unconverted.length) notes.push(`${answer.unconverted.length} shown as LaTeX`);
    if (answer.problems.length) notes.push(countOf(answer.problems.length, "warning"));
    setStatus(notes.length ? `rendered; ${notes.join(", ")}` : "rendered");
  } else {
    showProblems(answer.problems, true);
    const errors = answer.problems.filter((found) => found.severity === "error").length;
    setStatus(`${countOf(errors, "error")}: the last good sheet is shown`);
  }
}

function scheduleRender() {
  clearTimeout(timer);
  timer = setTimeout(renderNow, RENDER_DELAY_MS);
}

async function save(force = false) {
  if (settings.saveReason) return;
  const text = source.value;
  savingText = text;
  const response = await post("/api/save", { based_on: diskVersion, force }).catch(() => null);
  savingText = null;
  if (response === null) {
    setStatus("not saved: the server cannot be reached");
    return;
  }
  const answer = await response.json().catch(() => ({}));
  if (response.ok) {
    savedText = text;
    diskVersion = seenVersion = answer.version;
    alternative = null;
    hideNotice();
    setStatus(`saved ${answer.saved}`);
  } else if (answer.changed_on_disk) {
    setStatus("not saved: the file has changed on disk");
    const changed = `${settings.name} has changed on disk since it was loaded`;
    showNotice(`${changed}: saving would overwrite that.`, [
      ["Overwrite the file", () => save(true)],
      ["Show the file's version", showFileVersion],
    ]);
  } else {
    setStatus(`not saved: ${answer.message || response.statusText}`);
  }
}

function showNotice(message, actions) {
  notice.replaceChildren(element("span", "", message));
  for (const [label, action] of actions) {
    const button = element("button", "", label);
    button.type = "button";
    button.addEventListener("click", action);
    notice.append(button);
  }
  notice.hidden = false;
}

function hideNotice() {
  notice.hidden = true;
  notice.replaceChildren();
}

function showText(text) {
  source.value = text;
  drawLines();
  scheduleRender();
}

// The shown version and the alternative change places; the notice offers the way back.
function swapVersions() {
  const shown = { text: source.value, base: diskVersion, saved: savedText, mine: !alternative.mine };
  diskVersion = alternative.base;
  savedText = alternative.saved;
  showText(alternative.text);
  alternative = shown;
  offerChoice();
}

function keepShown() {
  alternative = null;
  hideNotice();
  setStatus("");
}

function offerChoice() {
  if (alternative.mine) {
    showNotice(`Showing ${settings.name} as it is on disk; your edits are kept aside.`, [
      ["Back to my edits", swapVersions],
      ["Keep the file's version", keepShown],
    ]);
  } else {
    showNotice(`${settings.name} has changed on disk, and the text here has unsaved edits.`, [
      ["Show the file's version", swapVersions],
      ["Keep my edits", keepShown],
    ]);
  }
}

// A version of the file other than the one the page knows.
function fileChanged(text, version) {
  seenVersion = version;
  if (text === savingText || version === diskVersion) return; // this page's own save
  if (version === "absent") {
    diskVersion = version;
    savedText = null; // nothing on disk: the text is unsaved
    setStatus(`${settings.name} was removed from disk; saving writes it again`);
    return;
  }
  if (text === source.value) {
    diskVersion = version;
    savedText = text;
    setStatus(`${settings.name} changed on disk to this text`);
  } else if (alternative !== null && !alternative.mine) {
    alternative = { text, base: version, saved: text, mine: false }; // the newer one is offered
  } else if (source.value === savedText) {
    diskVersion = version;
    savedText = text;
    showText(text);
    if (alternative !== null) {
      offerChoice(); // the author's edits stay kept aside, and the way back to them
    } else {
      showNotice(`Reloaded ${settings.name}: it changed on disk.`, [["OK", hideNotice]]);
    }
  } else if (alternative === null) {
    alternative = { text, base: version, saved: text, mine: false };
    offerChoice();
  }
}

async function showFileVersion() {
  const answer = await waitForFile(diskVersion);
  if (answer === null || answer.unchanged) return;
  seenVersion = answer.version;
  alternative = { text: answer.text, base: answer.version, saved: answer.text, mine: false };
  swapVersions();
}

async function waitForFile(known) {
  try {
    const response = await fetch(`/api/file?known=${encodeURIComponent(known)}`);
    return response.ok ? await response.json() : null;
  } catch (error) {
    return null;
  }
}

async function followFile() {
  for (;;) {
    const answer = await waitForFile(seenVersion);
    if (answer === null) {
      await new Promise((resolve) => setTimeout(resolve, RETRY_DELAY_MS));
    } else if (!answer.unchanged) {
      fileChanged(answer.text, answer.version);
    }
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
const docxButton = document.getElementById("download-docx");
if (settings.docxReason) disable(docxButton, settings.docxReason, `.docx: ${settings.docxReason}`);

saveButton.addEventListener("click", () => save());
pdfButton.addEventListener("click", () => download("pdf"));
docxButton.addEventListener("click", () => download("docx"));
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
  const unsaved = source.value !== savedText || alternative !== null;
  if (!settings.saveReason && unsaved) event.preventDefault();
});

drawLines();
openSocket();
renderNow();
if (!settings.saveReason) followFile();
