// The page's text editor: CodeMirror 6, bundled by web/assemble.js into the classic script
// editor.js of the site, which defines window.RelalgEditor. It draws only the lines in view, so a
// file of many megabytes opens and edits at once; long lines wrap; it keeps an undo history.
//
//   const editor = RelalgEditor.create(parent, {label, describedBy, readOnly, onChange, onRun})
//
// makes an editor inside parent. Several may live on one page (an editable one and a read-only
// view beside it); each is reached only through the object create returns:
//   text(), doc()             the text (lines joined by "\n"), and an immutable snapshot of it
//   sameText(doc)             whether the text is that of a snapshot (cheap when unchanged)
//   setText(text, {history})  replaces the whole text; an undoable edit unless history is false
//   line(number)              {from, text} of a line counted from 1 (clamped to the last line)
//   setMarks(marks)           underlines [{from, to, severity, message}] (offsets into text());
//                             an empty span marks the point; the numbers of lines holding an
//                             error are drawn as such
//   select(from, to), focus(), undo(), redo(), canUndo(), canRedo()
//   insert(text)              replaces the selection with text, the cursor after it
//   setReadOnly(flag), setExtensions(extensions)  a mode's own CodeMirror extensions (a
//                             language, its highlighting), replacing the previous mode's
// onChange({wholeReplaced}) follows every change of the text, wholeReplaced when it replaced all
// of it or emptied it; onRun() answers Ctrl+Enter (Cmd+Enter) inside the editor.
// RelalgEditor.find(parent) gives the object of the editor made inside parent, or undefined.
import { EditorState, Compartment, StateField, StateEffect, RangeSet, RangeSetBuilder, Prec, Transaction } from "@codemirror/state";
import {
  EditorView, Decoration, WidgetType, keymap, lineNumbers, highlightSpecialChars,
  highlightActiveLine, gutterLineClass, GutterMarker,
} from "@codemirror/view";
import { history, defaultKeymap, historyKeymap, undo, redo, undoDepth, redoDepth } from "@codemirror/commands";
import { bracketMatching } from "@codemirror/language";
import { search, searchKeymap } from "@codemirror/search";

const setMarksEffect = StateEffect.define();

class PointMark extends WidgetType {
  constructor(severity, message) {
    super();
    this.severity = severity;
    this.message = message;
  }
  eq(other) {
    return other.severity === this.severity && other.message === this.message;
  }
  toDOM() {
    const span = document.createElement("span");
    span.className = `cm-mark cm-mark-point cm-mark-${this.severity}`;
    span.title = this.message;
    span.textContent = " ";
    return span;
  }
}

const badLine = new (class extends GutterMarker {
  elementClass = "cm-bad-line";
})();

// The underlines and the numbers of lines with an error, kept in step with edits until replaced.
const marksField = StateField.define({
  create: () => ({ decorations: Decoration.none, badLines: RangeSet.empty }),
  update(value, tr) {
    for (const effect of tr.effects) if (effect.is(setMarksEffect)) return buildMarks(tr.state.doc, effect.value);
    if (!tr.docChanged) return value;
    return { decorations: value.decorations.map(tr.changes), badLines: value.badLines.map(tr.changes) };
  },
  provide: (field) => [
    EditorView.decorations.from(field, (value) => value.decorations),
    gutterLineClass.from(field, (value) => value.badLines),
  ],
});

function buildMarks(doc, marks) {
  const ranges = [];
  const bad = new Set();
  for (const { from, to, severity, message } of marks) {
    const start = Math.max(0, Math.min(from, doc.length));
    const end = Math.max(start, Math.min(to, doc.length));
    const attributes = { class: `cm-mark cm-mark-${severity}`, title: message };
    ranges.push(end > start
      ? Decoration.mark({ attributes }).range(start, end)
      : Decoration.widget({ widget: new PointMark(severity, message), side: 1 }).range(start));
    if (severity === "error") bad.add(doc.lineAt(start).from);
  }
  const builder = new RangeSetBuilder();
  for (const from of [...bad].sort((a, b) => a - b)) builder.add(from, from, badLine);
  return { decorations: Decoration.set(ranges, true), badLines: builder.finish() };
}

function wholeReplaced(update) {
  if (update.state.doc.length === 0) return true;
  let whole = false;
  update.changes.iterChangedRanges((fromA, toA) => {
    if (fromA === 0 && toA === update.startState.doc.length && toA > 0) whole = true;
  });
  return whole;
}

const made = new WeakMap();

export function find(parent) {
  return made.get(parent);
}

export function create(parent, { label = "Text", describedBy = "", readOnly = false, onChange = () => {}, onRun = null } = {}) {
  const readOnlyMode = new Compartment();
  const mode = new Compartment();
  const runKeys = onRun ? [{ key: "Mod-Enter", run: () => { onRun(); return true; } }] : [];
  const view = new EditorView({
    parent,
    state: EditorState.create({
      doc: "",
      extensions: [
        lineNumbers(),
        highlightSpecialChars(),
        highlightActiveLine(),
        history(),
        bracketMatching(),
        search({ top: true }),
        EditorView.lineWrapping,
        EditorState.tabSize.of(8),
        Prec.highest(keymap.of(runKeys)),
        keymap.of([...defaultKeymap, ...historyKeymap, ...searchKeymap]),
        marksField,
        readOnlyMode.of(EditorState.readOnly.of(readOnly)),
        mode.of([]),
        EditorView.contentAttributes.of({
          "aria-label": label, ...(describedBy ? { "aria-describedby": describedBy } : {}),
          spellcheck: "false", autocorrect: "off", autocapitalize: "off", translate: "no", tabindex: "0",
        }),
        EditorView.updateListener.of((update) => {
          if (update.docChanged) onChange({ wholeReplaced: wholeReplaced(update) });
        }),
      ],
    }),
  });

  const clampLine = (number) => view.state.doc.line(Math.max(1, Math.min(number, view.state.doc.lines)));
  const editor = {
    view,
    text: () => view.state.doc.toString(),
    doc: () => view.state.doc,
    sameText: (doc) => doc != null && view.state.doc.eq(doc),
    setText(text, { history: undoable = true } = {}) {
      view.dispatch({
        changes: { from: 0, to: view.state.doc.length, insert: text },
        selection: { anchor: 0 },
        scrollIntoView: true,
        annotations: undoable ? [] : [Transaction.addToHistory.of(false)],
      });
    },
    line(number) {
      const line = clampLine(number);
      return { from: line.from, text: line.text };
    },
    setMarks(marks) {
      view.dispatch({ effects: setMarksEffect.of(marks) });
    },
    select(from, to) {
      view.focus();
      view.dispatch({ selection: { anchor: from, head: to }, scrollIntoView: true });
    },
    insert(text) {
      const { from, to } = view.state.selection.main;
      view.dispatch({ changes: { from, to, insert: text }, selection: { anchor: from + text.length }, scrollIntoView: true });
      view.focus();
    },
    focus: () => view.focus(),
    undo: () => undo(view),
    redo: () => redo(view),
    canUndo: () => undoDepth(view.state) > 0,
    canRedo: () => redoDepth(view.state) > 0,
    setReadOnly(flag) {
      view.dispatch({ effects: readOnlyMode.reconfigure(EditorState.readOnly.of(flag)) });
    },
    setExtensions(extensions) {
      view.dispatch({ effects: mode.reconfigure(extensions) });
    },
  };
  made.set(parent, editor);
  return editor;
}
