// Files and folders dropped onto the page, wherever it is opened.
//
// A page opened as a file gets no file from a dropped item's entry (reading
// it fails with an EncodingError), but does from the item itself; folders
// are walked through their file system handles or their entries, where the
// browser lets the page read them, and a folder it does not is said with
// what to do instead.
"use strict";

window.Kelvane = window.Kelvane || {};

(() => {
  const entryFile = (entry) => new Promise((resolve, reject) => entry.file(resolve, reject));
  const readBatch = (reader) => new Promise((resolve, reject) => reader.readEntries(resolve, reject));

  // Every file below a folder's entry, with its path below the folder;
  // prefix is the path of the folder itself ("" for the folder dropped alone).
  async function walkFolder(folder, prefix, found, unread) {
    const reader = folder.createReader();
    for (;;) {
      let batch;
      try {
        batch = await readBatch(reader);
      } catch (error) {
        unread.push(prefix || folder.name);
        return;
      }
      if (batch.length === 0) return;
      for (const child of batch) {
        const path = prefix ? `${prefix}/${child.name}` : child.name;
        if (child.isDirectory) {
          await walkFolder(child, path, found, unread);
        } else if (child.isFile) {
          try {
            found.push({ path, file: await entryFile(child), inFolder: true });
          } catch (error) {
            unread.push(path);
          }
        }
      }
    }
  }

  // The same through the file system access handles, which a page opened
  // as a file may read where the entries' files fail.
  async function walkHandle(folder, prefix, found, unread) {
    try {
      for await (const child of folder.values()) {
        const path = prefix ? `${prefix}/${child.name}` : child.name;
        if (child.kind === "directory") {
          await walkHandle(child, path, found, unread);
        } else {
          try {
            found.push({ path, file: await child.getFile(), inFolder: true });
          } catch (error) {
            unread.push(path);
          }
        }
      }
    } catch (error) {
      unread.push(prefix || folder.name);
    }
  }

  // The files of a drop ({ path, file }) and the names of what could not be
  // read. What the drop holds must be taken before its event ends.
  async function droppedFiles(transfer) {
    const items = [...(transfer.items || [])].filter((item) => item.kind === "file").map((item) => ({
      entry: item.webkitGetAsEntry ? item.webkitGetAsEntry() : null,
      file: item.getAsFile(),
      handle: item.getAsFileSystemHandle ? item.getAsFileSystemHandle().catch(() => null) : Promise.resolve(null),
    }));
    if (items.length === 0) return { found: [...transfer.files].map((file) => ({ path: file.name, file })), unread: [] };
    const folders = items.filter((item) => item.entry && item.entry.isDirectory);
    // A folder dropped alone is taken as Choose a folder… takes it: its
    // sprites by their paths below it.
    const alone = folders.length === 1 && items.length === 1;
    const found = [], unread = [];
    for (const { entry, file, handle } of items) {
      if (entry && entry.isDirectory) {
        const prefix = alone ? "" : entry.name;
        const folder = await handle;
        const before = found.length;
        const viaHandle = [];
        if (folder && folder.kind === "directory") await walkHandle(folder, prefix, found, viaHandle);
        // Read through its handle whole, or through its entries.
        if (!folder || viaHandle.length > 0) {
          found.length = before;
          await walkFolder(entry, prefix, found, unread);
        }
      }
      else if (file) found.push({ path: file.name, file });
      else if (entry) unread.push(entry.name);
    }
    return { found, unread };
  }

  // Makes target take drops: handlers.drop(files, onPack) gets the files
  // ({ path, file, inFolder }: inFolder for a file of a dropped folder) and
  // whether they were dropped on the pack panel;
  // handlers.notice(text) says what could not be read.
  function installDrop(target, handlers) {
    let depth = 0;
    const body = document.body;
    const leave = () => {
      depth = 0;
      body.classList.remove("dragging");
      for (const zone of document.querySelectorAll(".drop-target")) zone.classList.remove("drop-target");
    };
    const carriesFiles = (event) => event.dataTransfer && [...event.dataTransfer.types].includes("Files");
    target.addEventListener("dragenter", (event) => {
      if (!carriesFiles(event)) return;
      ++depth;
      body.classList.add("dragging");
    });
    target.addEventListener("dragover", (event) => {
      if (!carriesFiles(event)) return;
      event.preventDefault();
      event.dataTransfer.dropEffect = "copy";
      const pack = event.target.closest && event.target.closest("#pack");
      document.getElementById("pack").classList.toggle("drop-target", Boolean(pack));
    });
    target.addEventListener("dragleave", () => {
      if (--depth <= 0) leave();
    });
    target.addEventListener("drop", async (event) => {
      if (!carriesFiles(event)) return;
      event.preventDefault();
      const onPack = Boolean(event.target.closest && event.target.closest("#pack"));
      leave();
      let dropped;
      try {
        dropped = await droppedFiles(event.dataTransfer);
      } catch (error) {
        dropped = { found: [], unread: ["the dropped items"] };
      }
      const { found, unread } = dropped;
      if (unread.length > 0) {
        const names = unread.slice(0, 3).map(Kelvane.printable).join(", ") + (unread.length > 3 ? ", …" : "");
        handlers.notice(`The browser gave the page no access to ${names}: choose the folder with ` +
                        "Choose a folder… instead (or the files with Choose sprites…).");
      }
      if (found.length > 0) handlers.drop(found, onPack);
      else if (unread.length === 0) handlers.notice("The drop held no files.");
    });
  }

  Kelvane.installDrop = installDrop;
})();
