// The playground page: the editor of the input file, the buttons, and the views of a run (the
// verdict, standard error with its explanation, the result table, the expression tree and the
// output file). In Notation mode the lines before the tables are a program in textbook notation:
// the engine lowers it to a core line, which the page shows and runs. It reaches the engine only
// through window.relalg, and the editor only through the object that window.RelalgEditor.create
// returns (web/editor.js).
"use strict";

(() => {
  const $ = (id) => document.getElementById(id);
  const editor = RelalgEditor.create($("editor"), {
    label: "Input file: the expression on the first line, then the tables",
    describedBy: "diagnostics",
    onChange: (change) => editorChanged(change),
    onRun: () => runNow(),
  });

  // ---- Bytes and text ------------------------------------------------------------------------
  // The editor holds text; a run needs the input file's bytes. A file or example is kept as its
  // bytes for as long as the editor shows it unchanged, so that every byte (line ends, a byte
  // order mark, Windows-1250 letters) reaches the engine exactly. Edited text is encoded again in
  // the file's encoding, with its line ends.
  const windows1250 = new TextDecoder("windows-1250");
  const toWindows1250 = new Map();
  for (let byte = 0; byte < 256; ++byte) {
    toWindows1250.set(windows1250.decode(new Uint8Array([byte])), byte);
  }

  // What the editor was loaded from: its bytes and the editor's text of them (doc, a snapshot),
  // the encoding and line end that edited text is sent in, the name for downloads, and the label.
  // draft tells that the text is a draft kept from an earlier visit.
  const newInput = () => ({ bytes: null, doc: null, encoding: "utf-8", lineEnd: "\n", name: "input", label: "", draft: false });
  let source = newInput();

  function decodeFile(bytes) {
    try {
      return { text: new TextDecoder("utf-8", { fatal: true, ignoreBOM: true }).decode(bytes), encoding: "utf-8" };
    } catch {
      return { text: windows1250.decode(bytes), encoding: "windows-1250" };
    }
  }

  // The bytes of text in encoding, and how many of its letters Windows-1250 lacks (written as ?).
  function encodeText(text, encoding) {
    if (encoding === "utf-8") return { bytes: new TextEncoder().encode(text), missing: 0 };
    const bytes = new Uint8Array(text.length);
    let length = 0;
    let missing = 0;
    for (const letter of text) {
      const byte = toWindows1250.get(letter);
      if (byte === undefined) ++missing;
      bytes[length++] = byte ?? 0x3f;
    }
    return { bytes: bytes.subarray(0, length), missing };
  }

  function loadBytes(bytes, name) {
    const { text, encoding } = decodeFile(bytes);
    const crlf = (text.match(/\r\n/g) || []).length;
    const lf = (text.match(/\n/g) || []).length;
    const lineEnd = crlf * 2 > lf ? "\r\n" : "\n";
    // Put in as an edit of its own, so that Undo brings back what was there.
    replacing = true;
    try {
      editor.setText(text, { history: editor.text().length > 0 });
    } finally {
      replacing = false;
    }
    source = { bytes, doc: editor.doc(), encoding, lineEnd, name, label: labelOf(name, encoding, lineEnd), draft: false };
    showLabel();
    showPalette();
    modeFollowsInput = true;
    forgetDraft();
    editorChanged({ wholeReplaced: false });
  }

  const labelOf = (name, encoding, lineEnd) =>
    `${name} · ${encoding === "utf-8" ? "UTF-8" : "Windows-1250"}` + (lineEnd === "\r\n" ? " · CRLF" : "");

  // The label of the input, and what is said of it besides (a kept draft, letters sent as ?).
  function showLabel(besides = "") {
    $("encoding").textContent = source.label + (source.draft ? " · draft kept from the last visit" : "") + besides;
  }

  let replacing = false;

  function currentBytes() {
    if (source.bytes && editor.sameText(source.doc)) return source.bytes;
    const typed = editor.text();
    const text = source.lineEnd === "\n" ? typed : typed.replace(/\n/g, source.lineEnd);
    const { bytes, missing } = encodeText(text, source.encoding);
    showLabel(missing ? ` · ${missing} letter${missing === 1 ? "" : "s"} not in Windows-1250, sent as ?` : "");
    return bytes;
  }

  // ---- Core or notation ---------------------------------------------------------------------
  // The language of the lines before the tables: one core expression line, or a program in the
  // notation. A file, example or link opens in the mode that it needs: the engine tells whether
  // it passes through as a core input. The palette inserts the notation's operators: Greek where
  // the file is UTF-8, the ASCII keywords where it is Windows-1250, which has no Greek letters.
  let mode = "core";
  let modeFollowsInput = false; // the next run sets the mode from the input
  let lastLowering = null; // {core, input} of the last lowering shown

  const kGreek = [["σ[", "σ", "selection: σ[condition](R)"], ["π[", "π", "projection: π[a, b](R)"],
    ["ρ[", "ρ", "renaming: ρ[S(a, b)](R)"], [" × ", "×", "product"], [" ⋈ ", "⋈", "natural join; ⋈[condition] is a θ-join"],
    [" ⋉ ", "⋉", "semijoin"], [" ▷ ", "▷", "anti-join"], [" ÷ ", "÷", "division"], [" ∪ ", "∪", "union"],
    [" − ", "−", "difference"], [" ∩ ", "∩", "intersection"], [" ← ", "←", "a step: Name ← expression"],
    [" ≠ ", "≠", "not equal"], [" ≤ ", "≤", "at most"], [" ≥ ", "≥", "at least"], [" ∧ ", "∧", "and"],
    [" ∨ ", "∨", "or"], ["¬", "¬", "not"]];
  const kAscii = [["sigma[", "sigma", "selection: sigma[condition](R)"], ["pi[", "pi", "projection: pi[a, b](R)"],
    ["rho[", "rho", "renaming: rho[S(a, b)](R)"], [" cross ", "cross", "product"],
    [" join ", "join", "natural join; join[condition] is a θ-join"], [" semijoin ", "semijoin", "semijoin"],
    [" antijoin ", "antijoin", "anti-join"], [" divide ", "divide", "division"], [" union ", "union", "union"],
    [" minus ", "minus", "difference"], [" intersect ", "intersect", "intersection"],
    [" <- ", "<-", "a step: Name <- expression"], [" <> ", "<>", "not equal"], [" <= ", "<=", "at most"],
    [" >= ", ">=", "at least"], [" and ", "and", "and"], [" or ", "or", "or"], ["not ", "not", "not"]];

  function showPalette() {
    const palette = $("palette");
    palette.hidden = mode !== "notation";
    const operators = source.encoding === "utf-8" ? kGreek : kAscii;
    if (palette.dataset.encoding === source.encoding) return;
    palette.dataset.encoding = source.encoding;
    palette.replaceChildren(...operators.map(([text, label, meaning]) => {
      const button = Object.assign(document.createElement("button"), { type: "button", textContent: label, title: meaning });
      button.setAttribute("aria-label", `${label}: ${meaning}`);
      button.addEventListener("mousedown", (event) => event.preventDefault());
      button.addEventListener("click", () => editor.insert(text));
      return button;
    }));
  }

  function setMode(next) {
    mode = next === "notation" ? "notation" : "core";
    modeFollowsInput = false;
    for (const input of document.querySelectorAll('#mode input')) input.checked = input.value === mode;
    showPalette();
    if (mode === "core") showCore(null);
  }

  // Sets the mode from the input: notation where it does not pass through as a core input.
  async function followInput(bytes) {
    const answer = await relalg.lower(bytes);
    setMode(answer.status !== 0 || !answer.passedThrough ? "notation" : "core");
  }

  // The core line of the last lowering, in the box and indented, or nothing.
  function showCore(lowering) {
    lastLowering = lowering;
    $("core").hidden = !lowering;
    $("core-line").textContent = lowering ? lowering.core : "";
    $("core-pretty").textContent = lowering ? indentedCore(lowering.core) : "";
  }

  // The core line indented: a node that fits in width letters stays on one line; a longer one has
  // its two operands (split, as the core splits them, at its first comma outside brackets) on
  // lines of their own, two blanks deeper. Walked with a stack of its own.
  function indentedCore(line, width = 60) {
    const closing = new Array(line.length).fill(-1);
    const open = [];
    let quoted = false;
    for (let k = 0; k < line.length; ++k) {
      if (line[k] === "'") quoted = !quoted;
      else if (!quoted && line[k] === "(") open.push(k);
      else if (!quoted && line[k] === ")" && open.length) closing[open.pop()] = k;
    }
    const lines = [];
    const stack = [[0, line.length, 0, ""]];
    while (stack.length) {
      const [from, to, depth, after] = stack.pop();
      const text = line.slice(from, to).trim();
      const indent = "  ".repeat(depth);
      const bracket = line.indexOf("(", from);
      const close = bracket >= 0 && bracket < to ? closing[bracket] : -1;
      let comma = -1;
      for (let k = bracket + 1, q = false; close >= 0 && k < close && comma < 0; ++k) {
        if (line[k] === "'") q = !q;
        else if (!q && line[k] === "(" && closing[k] >= 0) k = closing[k];
        else if (!q && line[k] === ",") comma = k;
      }
      if (indent.length + text.length + after.length <= width || comma < 0) {
        lines.push(indent + text + after);
        continue;
      }
      lines.push(indent + line.slice(from, bracket + 1).trim());
      stack.push([comma + 1, close, depth + 1, ")" + after], [bracket + 1, comma, depth + 1, ","]);
    }
    return lines.join("\n");
  }

  // ---- The draft ---------------------------------------------------------------------------
  // Typed work outlives a reload: while the editor differs from the file, example or link it was
  // loaded from, its text is kept in the browser's storage with the encoding it will be sent in.
  const kDraftKey = "relalgrun-draft";

  function hasUnsavedEdits() {
    return !editor.sameText(source.doc);
  }

  // Kept a moment after the last keystroke, and at once when the page goes away.
  let draftTimer = 0;
  function scheduleDraft() {
    clearTimeout(draftTimer);
    draftTimer = setTimeout(keepDraft, 300);
  }

  function keepDraft() {
    clearTimeout(draftTimer);
    if (!hasUnsavedEdits()) { forgetDraft(); return; }
    const { encoding, lineEnd, name, label } = source;
    try {
      localStorage.setItem(kDraftKey, JSON.stringify({ text: editor.text(), encoding, lineEnd, name, label, mode }));
    } catch {
      $("state").textContent = "This browser cannot keep a draft this large: save the file yourself.";
    }
  }

  function forgetDraft() {
    try { localStorage.removeItem(kDraftKey); } catch { /* storage may be off */ }
  }

  function restoreDraft() {
    let draft = null;
    try { draft = JSON.parse(localStorage.getItem(kDraftKey) || "null"); } catch { return false; }
    if (!draft || typeof draft.text !== "string") return false;
    replacing = true;
    try {
      editor.setText(draft.text, { history: false });
    } finally {
      replacing = false;
    }
    // The text it came from is gone, so the draft stays unsaved until replaced or reverted.
    source = { bytes: null, doc: null, encoding: draft.encoding === "windows-1250" ? "windows-1250" : "utf-8",
      lineEnd: draft.lineEnd === "\r\n" ? "\r\n" : "\n", name: String(draft.name || "input"),
      label: String(draft.label || "input"), draft: true };
    showLabel();
    setMode(draft.mode);
    editorChanged({ wholeReplaced: false });
    return true;
  }

  // Whether the editor's text may give way to another input of bytes: asks only when typed work
  // would be lost.
  function mayReplaceEdits(what, bytes) {
    if (!hasUnsavedEdits() || editor.doc().length === 0) return true;
    if (decodeFile(bytes).text.replace(/\r\n?/g, "\n") === editor.text()) return true;
    return window.confirm(`Replace your edits with ${what}? (Undo brings them back.)`);
  }

  // ---- Underlined diagnostics -----------------------------------------------------------------
  // The engine places a diagnostic at bytes of a line (its column and length in bytes); the editor
  // holds letters. Each is underlined in the editor and listed with a button to its place; an
  // error's fix, where the diagnostics know one, is shown with it.
  let diagnostics = [];

  function byteLength(letter) {
    if (source.encoding !== "utf-8") return 1;
    const code = letter.codePointAt(0);
    return code < 0x80 ? 1 : code < 0x800 ? 2 : code < 0x10000 ? 3 : 4;
  }

  // The [start, end) letter offsets within line of the bytes [column - 1, column - 1 + length).
  function letterSpan(line, column, length) {
    let bytes = 0;
    let start = line.length;
    let end = line.length;
    let offset = 0;
    for (const letter of line) {
      if (bytes >= column - 1 && start === line.length) start = offset;
      if (bytes >= column - 1 + Math.max(length, 1)) { end = offset; break; }
      bytes += byteLength(letter);
      offset += letter.length;
    }
    return [Math.min(start, line.length), Math.max(Math.min(end, line.length), Math.min(start, line.length))];
  }

  // The editor's offsets [from, to) of a diagnostic's bytes.
  function placeOf(d) {
    const { from, text } = editor.line(d.line);
    const [start, end] = letterSpan(text, d.column, d.length);
    return [from + start, from + end];
  }

  function showDiagnostics(list) {
    diagnostics = Array.isArray(list) ? list : [];
    const items = $("diagnostics");
    items.replaceChildren();
    for (const d of diagnostics) {
      const li = document.createElement("li");
      li.className = `severity-${d.severity}`;
      const go = document.createElement("button");
      go.type = "button";
      go.textContent = `${d.line}:${d.letterColumn ?? d.column}`;
      go.title = "Go to this place in the editor";
      go.addEventListener("click", () => editor.select(...placeOf(d)));
      const severity = Object.assign(document.createElement("span"), { className: "severity", textContent: `${d.severity}:` });
      li.append(go, severity, ` ${d.message}`);
      if (d.fix) {
        const fix = Object.assign(document.createElement("span"), { className: "fix" });
        fix.append("Fix: ", ...withCode(d.fix));
        li.append(fix);
      }
      items.append(li);
    }
    editor.setMarks(diagnostics.map((d) => {
      const [from, to] = placeOf(d);
      return { from, to, severity: d.severity, message: d.message };
    }));
  }

  // Every edit drops the diagnostics of the last run; replacing the whole text makes it a new
  // input, no longer the file, example or link it was loaded from.
  function editorChanged({ wholeReplaced }) {
    updateHistoryButtons();
    if (replacing) return;
    if (wholeReplaced && source.name !== "input") {
      source = { ...newInput(), encoding: source.encoding, lineEnd: source.lineEnd };
      source.label = labelOf("new input", source.encoding, source.lineEnd);
      showLabel();
      $("example").value = shownExample = "";
    }
    scheduleDraft();
    if (diagnostics.length) showDiagnostics([]);
  }

  function updateHistoryButtons() {
    $("undo").disabled = !editor.canUndo();
    $("redo").disabled = !editor.canRedo();
  }

  // ---- Tables --------------------------------------------------------------------------------
  // Tables come from the engine with their records as arrays of values: the page reads no
  // record line itself.
  function renderTable(container, caption, columns, records, note) {
    const table = document.createElement("table");
    const cap = document.createElement("caption");
    cap.textContent = caption;
    table.append(cap);
    const head = table.createTHead().insertRow();
    for (const column of columns) {
      const th = document.createElement("th");
      th.scope = "col";
      th.append(column.name + " ");
      const type = document.createElement("small");
      type.textContent = column.type;
      th.append(type);
      head.append(th);
    }
    const body = table.createTBody();
    for (const values of records) {
      const row = body.insertRow();
      for (const value of values) row.insertCell().textContent = value;
    }
    container.replaceChildren(table);
    if (note) {
      const p = document.createElement("p");
      p.className = "note";
      p.textContent = note;
      container.append(p);
    }
  }

  // A huge result is shown in part, so that drawing it never freezes the page; the download
  // holds all of it.
  const kShownBytes = 1 << 20;

  function showResultTable(table) {
    if (!table) { $("result-table").replaceChildren(); return; }
    const shown = table.records.length;
    renderTable($("result-table"), `${table.name}: ${table.count} record${table.count === 1 ? "" : "s"}`,
      table.columns, table.records,
      shown < table.count ? `The first ${shown} of ${table.count} records; the output file holds them all.` : "");
  }

  function outputText(output) {
    if (output === null) return "(relalgrun leaves no output file for this input)";
    if (output.length <= kShownBytes) return relalg.decodeText(output);
    return relalg.decodeText(output.subarray(0, kShownBytes)) +
      `\n… (${output.length - kShownBytes} more bytes: download the output file for all of it)`;
  }

  // ---- The expression tree -------------------------------------------------------------------
  function nodeLabel(node) {
    const count = typeof node.count === "number" ? `${node.count} record${node.count === 1 ? "" : "s"}` : "not evaluated";
    return { kind: node.kind === "table" && node.name ? node.name : node.kind, count };
  }

  function showNode(node, button) {
    for (const b of $("tree").querySelectorAll("button")) b.setAttribute("aria-pressed", "false");
    button.setAttribute("aria-pressed", "true");
    const container = $("node-table");
    if (!Array.isArray(node.columns)) {
      container.replaceChildren(Object.assign(document.createElement("p"), {
        className: "note", textContent: `${node.text}: ${node.failed ? "its evaluation failed" : "not evaluated"}.`,
      }));
      return;
    }
    const records = node.values || [];
    const note = records.length < node.count ? `The first ${records.length} of ${node.count} records.` : "";
    const title = node.name && node.name !== node.text ? `${node.text} → ${node.name}` : node.text;
    renderTable(container, `${title}: ${node.count} record${node.count === 1 ? "" : "s"}`,
      node.columns, records, note);
  }

  // A core node, and its operands below it; an operand that lowers another notation node than its
  // parent stands under a heading: that notation node, as written.
  function treeItem(node, groups) {
    const li = document.createElement("li");
    const button = document.createElement("button");
    button.type = "button";
    button.setAttribute("aria-pressed", "false");
    const { kind, count } = nodeLabel(node);
    button.append(`${kind} `);
    const counted = document.createElement("span");
    counted.className = "count";
    counted.textContent = node.failed ? "failed" : count;
    button.append(counted);
    if (node.failed) button.classList.add("failed");
    button.title = node.text || "";
    if (node.source && !node.source.user) {
      button.classList.add("scaffolding");
      button.title = `added by the lowering: ${button.title}`;
    }
    button.addEventListener("click", () => showNode(node, button));
    li.append(button);
    if (node.text && node.kind !== "table") {
      li.append(Object.assign(document.createElement("span"), { className: "text", textContent: node.text }));
    }
    if (Array.isArray(node.children) && node.children.length) {
      const ul = document.createElement("ul");
      for (const child of node.children) ul.append(groupedItem(child, node, groups));
      li.append(ul);
    }
    return li;
  }

  function groupedItem(node, parent, groups) {
    const item = treeItem(node, groups);
    const group = groups && node.source ? groups[node.source.group] : null;
    if (!group || (parent && parent.source && parent.source.group === node.source.group)) return item;
    const li = document.createElement("li");
    li.className = "group";
    const title = group.step ? `${group.step} := ${group.text}` : group.text;
    li.append(Object.assign(document.createElement("span"), {
      className: "group-title", textContent: `line ${group.line}: ${title}`,
    }));
    const ul = document.createElement("ul");
    ul.append(item);
    li.append(ul);
    return li;
  }

  function showTree(trace) {
    const tree = $("tree");
    $("node-table").replaceChildren();
    if (!trace || !trace.root) {
      tree.replaceChildren(Object.assign(document.createElement("p"), {
        className: "note", textContent: "No expression tree for this input.",
      }));
      return;
    }
    const ul = document.createElement("ul");
    ul.setAttribute("aria-label", "Expression tree");
    ul.append(groupedItem(trace.root, null, trace.notation ? trace.notation.groups : null));
    tree.replaceChildren(ul);
  }

  // ---- Running -------------------------------------------------------------------------------
  let running = 0; // the number of the run in progress, 0 when none
  let runs = 0;
  let lastOutput = null;

  // Why the link the page was opened with gave nothing, said after every finished run until the
  // editor gets other content.
  let linkProblem = "";

  function setBusy(busy, text) {
    $("stop").disabled = !busy;
    $("state").textContent = !busy && linkProblem ? `${text} ${linkProblem}` : text;
  }

  function setVerdict(kind, text) {
    const verdict = $("verdict");
    verdict.className = `verdict ${kind}`;
    verdict.textContent = text;
  }

  // Text with `code` spans as nodes: the words between backticks in a monospace font.
  function withCode(text) {
    return String(text).split("`").map((part, k) =>
      (k % 2 ? Object.assign(document.createElement("code"), { textContent: part }) : part));
  }

  // Empties every view of the last run, so that nothing on the page outlives the input it came from.
  function clearRun() {
    setVerdict("running", "Running…");
    $("failure").hidden = true;
    $("stderr").textContent = "";
    $("explanation").replaceChildren();
    lastOutput = null;
    $("download").disabled = true;
    $("output").textContent = "";
    showResultTable(null);
    $("tree").replaceChildren();
    $("node-table").replaceChildren();
    showDiagnostics([]);
    showCore(null);
  }

  // A program that cannot be lowered: nothing runs; the error stands in the program.
  function showNotationError(lowering) {
    setVerdict("failed", "The program cannot be lowered to a core line: exit status 1.");
    $("failure").hidden = false;
    $("stderr").textContent = lowering.stderr;
    $("output").textContent = "(nothing runs: the program has an error)";
    showTree(null);
    showDiagnostics(lowering.diagnostics);
  }

  // The allowlist that the exercise sets, or none.
  const allowlist = () => (exercise && exercise.allow) || "";

  function showRun(run) {
    if (run.status === 0) setVerdict("ok", "Success: exit status 0.");
    else setVerdict("failed", `Failed: exit status ${run.status}.`);
    $("failure").hidden = run.status === 0;
    $("stderr").textContent = run.stderr;
    showExplanation(run.explanation);
    lastOutput = run.output;
    $("download").disabled = run.output === null;
    $("output").textContent = outputText(run.output);
    showResultTable(run.status === 0 ? run.table : null);
  }

  // The meaning and usual fix of a failure's message; the fix that the diagnostics found for this
  // failure, where they found one, in place of the usual one.
  function showExplanation(explanation, fix = null) {
    const list = $("explanation");
    list.replaceChildren();
    if (!explanation) return;
    for (const [term, text] of [["Meaning", explanation.meaning], ["Fix", fix || explanation.fix]]) {
      const dd = document.createElement("dd");
      dd.append(...withCode(text));
      list.append(Object.assign(document.createElement("dt"), { textContent: term }), dd);
    }
  }

  // Brings the verdict and the first records of the result (or the failure) into view, above the
  // Run bar where it covers the bottom of the screen, scrolling as little as it can.
  function revealResult() {
    const bar = $("actions");
    const bottom = getComputedStyle(bar).position === "fixed" ? bar.getBoundingClientRect().top : window.innerHeight;
    const rows = $("result-table").querySelectorAll("tr");
    const last = !$("failure").hidden ? $("failure") : rows.length ? rows[Math.min(rows.length - 1, 3)] : $("verdict");
    const top = $("verdict").getBoundingClientRect().top - 8;
    const below = last.getBoundingClientRect().bottom + 8 - bottom;
    const delta = below > 0 ? Math.min(below, top) : Math.min(top, 0);
    if (delta !== 0) window.scrollBy({ top: delta, behavior: "instant" });
  }

  // A run that succeeded with warnings standing is not a plain success: say so where the verdict is.
  function showWarnings(run, list) {
    const warnings = (Array.isArray(list) ? list : []).filter((d) => d.severity !== "note").length;
    if (run.status !== 0 || warnings === 0) return;
    setVerdict("warned", `Finished with ${warnings} warning${warnings === 1 ? "" : "s"}: ` +
      "the result may not be what you meant. Exit status 0.");
  }

  async function runNow() {
    const bytes = currentBytes();
    const number = ++runs;
    running = number;
    const started = performance.now();
    setBusy(true, "Running…");
    clearRun();
    try {
      if (modeFollowsInput) await followInput(bytes);
      if (running !== number) return;
      let input = bytes;
      if (mode === "notation") {
        const lowering = await relalg.lower(bytes, { allow: allowlist() });
        if (running !== number) return;
        if (lowering.status !== 0) {
          showNotationError(lowering);
          setBusy(false, `Done in ${Math.round(performance.now() - started)} ms.`);
          return;
        }
        showCore(lowering);
        input = lowering.input;
      }
      const run = await relalg.run(input);
      if (running !== number) return;
      showRun(run);
      revealResult();
      const trace = await relalg.trace(bytes, { notation: mode === "notation", allow: allowlist() });
      if (running !== number) return;
      showTree(trace);
      showDiagnostics(trace.diagnostics);
      const fixed = diagnostics.find((d) => d.severity === "error" && d.fix);
      if (fixed) showExplanation(run.explanation, fixed.fix);
      showWarnings(run, trace.diagnostics);
      revealResult();
      setBusy(false, `Done in ${Math.round(performance.now() - started)} ms.`);
    } catch (error) {
      if (running !== number) return;
      setBusy(false, error.message === "stopped" ? "Stopped." : `Error: ${error.message}`);
    } finally {
      if (running === number) running = 0;
    }
  }

  function stopNow() {
    if (!running) return;
    running = 0;
    relalg.stop();
    setBusy(false, "Stopped.");
    if ($("verdict").classList.contains("running")) setVerdict("", "Stopped before a result.");
  }

  // ---- Exercises ----------------------------------------------------------------------------
  // An exercise link (relalgcheck --link) holds the compare mode, a title and a task and, per data
  // set, its tables, the digest of the reference's result and that result; never the reference
  // itself. The editor gets the first data set's tables under an empty expression line; Check runs
  // the editor's first line on the tables of every data set as the link holds them, compares the
  // digests and, where it is wrong, shows the smallest such data set with both results. An exercise
  // set in the notation opens in Notation: Check lowers the program against each data set's tables
  // under the exercise's allowlist, and checks the lowering.
  let exercise = null; // {compare, title, task, notation, allow, datasets: [{name, tables: Uint8Array, digest, expected}]}

  function decodeExercise(text) {
    const json = JSON.parse(new TextDecoder().decode(fromBase64(text)));
    if (!["set", "bag", "exact"].includes(json.compare) || !Array.isArray(json.datasets) ||
        !json.datasets.length) {
      throw new Error("not an exercise");
    }
    return {
      compare: json.compare,
      title: String(json.title || "exercise"),
      task: String(json.task || ""),
      notation: json.mode === "notation",
      allow: typeof json.allow === "string" ? json.allow : "",
      datasets: json.datasets.map((d) => ({
        name: String(d.name), tables: fromBase64(d.tables), digest: String(d.digest),
        expected: Array.isArray(d.expected) ? d.expected.map(String) : null,
        expectedRecords: Number(d.expectedRecords) || 0,
      })),
    };
  }

  function setExercise(loaded) {
    exercise = loaded;
    $("exercise").hidden = !exercise;
    $("exercise-name").textContent = exercise ? exercise.title : "";
    $("exercise-task").textContent = exercise ? exercise.task : "";
    $("check-results").replaceChildren();
    $("check-example").replaceChildren();
    $("check-example").hidden = true;
    if (exercise) setMode(exercise.notation ? "notation" : "core");
  }

  // The smallest data set that the expression is wrong on, with the expected and its results.
  function showExample(data, answer) {
    const box = $("check-example");
    const lines = (result, count) => result.join("\n") +
      (count > result.length - 1 ? `\n... ${count - result.length + 1} more records` : "");
    const parts = [
      [`The smallest data set it is wrong on, ${data.name}:`, decodeFile(data.tables).text.replace(/^\n/, "")],
      ["Expected:", lines(data.expected, data.expectedRecords)],
      ["Yours:", answer.status !== 0 ? answer.stderr.trim() : lines(answer.result, answer.resultRecords)],
    ];
    box.replaceChildren(...parts.flatMap(([heading, text]) => {
      const p = document.createElement("p");
      p.textContent = heading;
      const pre = document.createElement("pre");
      pre.textContent = text;
      return [p, pre];
    }));
    box.hidden = false;
  }

  function joinBytes(...parts) {
    const bytes = new Uint8Array(parts.reduce((sum, part) => sum + part.length, 0));
    parts.reduce((at, part) => { bytes.set(part, at); return at + part.length; }, 0);
    return bytes;
  }

  const withFirstLine = (line, tables) => joinBytes(line, [10], tables);

  // The lines below the first, for comparing a kept draft with an exercise's tables.
  const belowFirstLine = (text) => {
    const lines = text.replace(/\r\n?/g, "\n");
    return lines.slice(lines.indexOf("\n") + 1);
  };

  function loadExerciseLink() {
    let loaded;
    try {
      loaded = decodeExercise(location.hash.slice("#exercise=".length));
    } catch {
      $("state").textContent = linkProblem = "The exercise link could not be read.";
      return false;
    }
    const bytes = withFirstLine(new Uint8Array(0), loaded.datasets[0].tables);
    const draftOfIt = hasUnsavedEdits() &&
      belowFirstLine(editor.text()) === belowFirstLine(decodeFile(bytes).text);
    if (!draftOfIt && !mayReplaceEdits(`the exercise ${loaded.title}`, bytes)) {
      $("state").textContent = linkProblem = "Your edits are kept; the exercise was not opened.";
      return false;
    }
    $("example").value = shownExample = "";
    if (!draftOfIt) loadBytes(bytes, loaded.title);
    setExercise(loaded);
    return true;
  }

  // The lines of bytes before the first empty one, each with its line end.
  function programOf(bytes) {
    let start = 0;
    while (start < bytes.length) {
      let end = bytes.indexOf(10, start);
      if (end < 0) end = bytes.length;
      const empty = end === start || (end === start + 1 && bytes[start] === 13);
      if (empty) break;
      start = end + 1;
    }
    return bytes.subarray(0, Math.min(start, bytes.length));
  }

  // What Check runs on one data set: the expression line over its tables, or the lowering of the
  // program against them (or the error that stops it).
  async function checkedInput(bytes, line, data) {
    if (!exercise.notation) return { input: withFirstLine(line, data.tables) };
    const program = programOf(bytes);
    const ended = program.length === 0 || program[program.length - 1] === 10;
    const file = ended ? joinBytes(program, data.tables) : withFirstLine(program, data.tables);
    const lowering = await relalg.lower(file, { allow: exercise.allow });
    return lowering.status === 0 ? { input: lowering.input } : { error: lowering };
  }

  async function checkNow() {
    if (!exercise || running) return;
    const bytes = currentBytes();
    let end = bytes.indexOf(10);
    if (end < 0) end = bytes.length;
    const line = bytes.subarray(0, end > 0 && bytes[end - 1] === 13 ? end - 1 : end);
    const list = $("check-results");
    list.replaceChildren();
    $("check-example").hidden = true;
    const number = ++runs;
    running = number;
    setBusy(true, "Checking…");
    try {
      let right = 0;
      let smallest = null;
      for (const [k, data] of exercise.datasets.entries()) {
        const checked = await checkedInput(bytes, line, data);
        if (running !== number) return;
        if (checked.error) showDiagnostics(checked.error.diagnostics);
        const answer = checked.error ? { status: 1, stderr: checked.error.diagnostics[0]?.message || checked.error.stderr }
          : await relalg.check(checked.input, exercise.compare);
        if (running !== number) return;
        const verdict = answer.status !== 0 ? "failed" : answer.digest === data.digest ? "right" : "wrong";
        if (verdict === "right") ++right;
        else if (data.expected && (!smallest || data.tables.length < smallest.data.tables.length)) {
          smallest = { data, answer };
        }
        const li = document.createElement("li");
        li.className = verdict;
        const why = verdict === "failed" ? ` (${answer.stderr.trim().split("\n").pop()})` : "";
        li.textContent = `${data.name}${k === 0 ? " (the tables in the editor)" : ""}: ${verdict}${why}`;
        list.append(li);
      }
      const all = exercise.datasets.length;
      setBusy(false, right === all
        ? `Checked: right on all ${all} data sets of this exercise; your teacher's grading checks more.`
        : `Checked: right on ${right} of ${all} data sets.`);
      if (smallest) showExample(smallest.data, smallest.answer);
    } catch (error) {
      if (running !== number) return;
      setBusy(false, error.message === "stopped" ? "Stopped." : `Error: ${error.message}`);
    } finally {
      if (running === number) running = 0;
    }
  }

  // ---- Files, examples and links -------------------------------------------------------------
  let shownExample = ""; // the example in the editor, to choose again when a change is refused

  function fromBase64(text) {
    const binary = atob(text.replace(/-/g, "+").replace(/_/g, "/"));
    return Uint8Array.from(binary, (c) => c.charCodeAt(0));
  }

  function toBase64Url(bytes) {
    let binary = "";
    for (let k = 0; k < bytes.length; k += 0x8000) {
      binary += String.fromCharCode.apply(null, bytes.subarray(k, k + 0x8000));
    }
    return btoa(binary).replace(/\+/g, "-").replace(/\//g, "_").replace(/=+$/, "");
  }

  function loadFromLink() {
    linkProblem = "";
    if (/^#exercise=/.test(location.hash)) return loadExerciseLink();
    const match = /^#input=([A-Za-z0-9_-]*)(?:&mode=(core|notation))?$/.exec(location.hash);
    if (!match) return false;
    try {
      const bytes = fromBase64(match[1]);
      if (!mayReplaceEdits("the linked input", bytes)) {
        $("state").textContent = linkProblem = "Your edits are kept; the link's input was not loaded.";
        return false;
      }
      $("example").value = shownExample = "";
      setExercise(null);
      loadBytes(bytes, "shared.txt");
      if (match[2]) setMode(match[2]);
      return true;
    } catch {
      $("state").textContent = linkProblem = "The link's input could not be read.";
      return false;
    }
  }

  // Browsers open no address of more than 2 MB (Chromium's limit), so a longer link is not
  // offered; the input goes as a file instead.
  const kLongestLink = 2 * 1024 * 1024;

  function offerAsFile(bytes) {
    const a = document.createElement("a");
    a.href = URL.createObjectURL(new Blob([bytes], { type: "application/octet-stream" }));
    a.download = /\.\w+$/.test(source.name) ? source.name : `${source.name}.txt`;
    a.textContent = "Download the input";
    $("state").replaceChildren(`The input is too large for a link (browsers open links of up ` +
      `to 2 MB). `, a, " to pass it on as a file.");
  }

  async function share() {
    const bytes = currentBytes();
    const link = `${location.href.split("#")[0]}#input=${toBase64Url(bytes)}` +
      (mode === "notation" ? "&mode=notation" : "");
    if (link.length > kLongestLink) {
      offerAsFile(bytes);
      return;
    }
    history.replaceState(null, "", link);
    try {
      await navigator.clipboard.writeText(link);
      $("state").textContent = "Link copied: it holds the whole input.";
    } catch {
      $("state").textContent = "The address bar holds the link to this input.";
    }
  }

  function download() {
    if (!lastOutput) return;
    const a = document.createElement("a");
    a.href = URL.createObjectURL(new Blob([lastOutput], { type: "application/octet-stream" }));
    a.download = `${source.name.replace(/\.txt$/, "")}.out.txt`;
    document.body.append(a);
    a.click();
    a.remove();
    setTimeout(() => URL.revokeObjectURL(a.href), 1000);
  }

  const examples = window.RELALG_EXAMPLES || [];
  for (const example of examples) {
    $("example").append(new Option(example.name, example.name));
  }
  $("example").addEventListener("change", () => {
    const example = examples.find((e) => e.name === $("example").value);
    if (!example) return;
    const bytes = fromBase64(example.base64);
    if (!mayReplaceEdits(`the example ${example.name}`, bytes)) {
      $("example").value = shownExample;
      return;
    }
    shownExample = example.name;
    linkProblem = "";
    setExercise(null);
    loadBytes(bytes, `${example.name}.txt`);
    runNow();
  });

  $("open").addEventListener("click", () => $("file").click());
  $("file").addEventListener("change", async () => {
    const file = $("file").files[0];
    if (!file) return;
    const bytes = new Uint8Array(await file.arrayBuffer());
    $("file").value = "";
    if (!mayReplaceEdits(file.name, bytes)) return;
    $("example").value = shownExample = linkProblem = "";
    setExercise(null);
    loadBytes(bytes, file.name);
    runNow();
  });

  $("run").addEventListener("click", runNow);
  for (const input of document.querySelectorAll("#mode input")) {
    input.addEventListener("change", () => {
      setMode(input.value);
      scheduleDraft();
    });
  }
  $("copy-core").addEventListener("click", async () => {
    if (!lastLowering) return;
    try {
      await navigator.clipboard.writeText(lastLowering.core);
      $("state").textContent = "The core line is copied.";
    } catch {
      $("state").textContent = "This browser does not let the page copy: select the core line and copy it.";
    }
  });
  // The lowered input (the core line, then the tables) as a new input in Core mode; Undo brings
  // the program back.
  $("open-core").addEventListener("click", () => {
    if (!lastLowering) return;
    const { input } = lastLowering;
    $("example").value = shownExample = "";
    setExercise(null);
    loadBytes(input, `core of ${source.name.replace(/\.txt$/, "")}.txt`);
    setMode("core");
    runNow();
  });
  $("check").addEventListener("click", checkNow);
  $("stop").addEventListener("click", stopNow);
  $("share").addEventListener("click", share);
  $("download").addEventListener("click", download);
  $("undo").addEventListener("click", () => { editor.undo(); editor.focus(); });
  $("redo").addEventListener("click", () => { editor.redo(); editor.focus(); });
  // A tap on the Run bar leaves the focus where it was, so that a phone's keyboard stays up
  // between one try and the next.
  $("actions").addEventListener("mousedown", (event) => {
    if (event.target.closest("button")) event.preventDefault();
  });
  // Where a phone's keyboard covers the bottom of the page without resizing it, the Run bar
  // stands above the keyboard.
  if (window.visualViewport) {
    const placeBar = () => document.documentElement.style.setProperty("--covered",
      `${Math.max(0, window.innerHeight - visualViewport.height - visualViewport.offsetTop)}px`);
    visualViewport.addEventListener("resize", placeBar);
    visualViewport.addEventListener("scroll", placeBar);
  }
  window.addEventListener("pagehide", keepDraft);
  document.addEventListener("keydown", (event) => {
    if (event.defaultPrevented) return;
    if (event.key === "Enter" && (event.ctrlKey || event.metaKey)) {
      event.preventDefault();
      runNow();
    } else if (event.key === "Escape" && running) {
      stopNow();
    }
  });
  // An exercise opens with an empty expression line: nothing to run yet.
  const runUnlessExercise = () => {
    if (exercise && editor.line(1).text === "") {
      setVerdict("", "Write your expression on the first line, then Check.");
      $("state").textContent = "Ready.";
    } else {
      runNow();
    }
  };
  window.addEventListener("hashchange", () => { if (loadFromLink()) runUnlessExercise(); });

  // A draft of typed work comes back first; a link opened over it asks before replacing it.
  const restored = restoreDraft();
  if (!loadFromLink() && !restored) {
    const first = examples.find((e) => e.name === "select-product") || examples[0];
    if (first) {
      $("example").value = shownExample = first.name;
      loadBytes(fromBase64(first.base64), `${first.name}.txt`);
    }
  }
  runUnlessExercise();
})();
