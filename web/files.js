// The user's files in and out: the chosen files read once, copies of them
// handed to a worker, and files offered to save.
"use strict";

(() => {
  const page = Kelvane.page;
  const printable = Kelvane.printable;

  // Offers bytes (or a Blob) as a file of the given name.
  function download(name, bytes, type = "application/octet-stream") {
    const url = URL.createObjectURL(bytes instanceof Blob ? bytes : new Blob([bytes], { type }));
    const link = document.createElement("a");
    link.href = url;
    link.download = name;
    document.body.append(link);
    link.click();
    link.remove();
    setTimeout(() => URL.revokeObjectURL(url), 60000);
  }

  // The name without its last extension, as the converter names images.
  function stem(name) {
    const dot = name.lastIndexOf(".");
    return dot > 0 ? name.slice(0, dot) : name;
  }

  // The files ([name, bytes]) as a request gives them: copies, handed over.
  function filesForWorker(entries) {
    const files = entries.map(([name, bytes]) => ({ name, bytes: bytes.slice(0) }));
    return { files, transfer: files.map((file) => file.bytes) };
  }

  // Reads the chosen files ({ path, file }) once: the page keeps their bytes,
  // which stay what was chosen whatever happens to the files on disk later.
  // Gives those read ({ path, bytes }) in the order chosen, whichever was read
  // first (loose images become frames in that order), and says which could
  // not be.
  async function readFiles(chosen) {
    const outcomes = await Promise.all(chosen.map(async ({ path, file }) => {
      try {
        return { path, bytes: await file.arrayBuffer() };
      } catch (error) {
        return { path, error };
      }
    }));
    page.addNotices(outcomes.filter((outcome) => outcome.error).map(({ path, error }) =>
      ({ text: `${printable(path)}: cannot be read (${error.name}); left out`, kind: "page" })));
    return outcomes.filter((outcome) => !outcome.error);
  }

  Object.assign(page, { download, stem, filesForWorker, readFiles });
})();
