// The notices: the tools' lines and the page's own, those about one sprite
// together under its name, and Clear notices.
"use strict";

(() => {
  const page = Kelvane.page;
  const { $ } = page;
  const printable = Kelvane.printable;

  // The sprite a tool's line is about ("kelvane-convert: a/x.dc6: …"), or null.
  function subjectOf(text) {
    const match = /^kelvane-(?:convert|pack): (.+?\.dc6): /i.exec(text);
    return match ? match[1] : null;
  }

  // The notices about one sprite sit together under its name, in the order
  // said; the page's own lines stand alone.
  const noticeGroups = new Map();  // sprite -> its group's list

  function groupFor(subject, fragment) {
    let list = noticeGroups.get(subject);
    if (!list) {
      const group = document.createElement("li");
      group.className = "group";
      group.dataset.subject = subject;
      const title = document.createElement("span");
      title.className = "subject";
      title.textContent = printable(subject);
      list = document.createElement("ul");
      group.append(title, list);
      fragment.append(group);
      noticeGroups.set(subject, list);
    }
    return list;
  }

  // Adds lines ({ text, kind }) to the notices at once and shows the last:
  // a run over a folder may say thousands of things.
  function addNotices(lines) {
    if (lines.length === 0) return;
    const fragment = document.createDocumentFragment();
    for (const { text, kind } of lines) {
      const item = document.createElement("li");
      item.className = kind;
      item.textContent = text;
      const subject = subjectOf(text);
      (subject ? groupFor(subject, fragment) : fragment).append(item);
    }
    const list = $("notices");
    list.append(fragment);
    list.scrollTop = list.scrollHeight;
  }

  $("clear-notices").addEventListener("click", () => {
    noticeGroups.clear();
    $("notices").replaceChildren();
  });

  function notice(text, kind = "page") { addNotices([{ text, kind }]); }

  function toolLines(lines) { addNotices(lines.map((line) => ({ text: line.text, kind: line.stream }))); }

  Object.assign(page, { addNotices, notice, toolLines });
})();
