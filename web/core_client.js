// The page's side of the worker (worker.js): requests and their answers, and
// a fresh worker when the user cancels a run or the core stopped.
//
// The worker's script comes as text (kelvane-worker.js sets
// kelvaneWorkerSource) and starts from a Blob URL: a page opened from a file
// may start no worker from a file URL, and a Blob URL works on any host.
"use strict";

window.Kelvane = window.Kelvane || {};

Kelvane.CoreClient = class CoreClient {
  // After a fresh worker replaced the old one, onRestart() gives (maybe
  // later) the requests ({ kind, data, transfer }) that hand it the page's
  // files again; they reach it before any request made since.
  constructor(onRestart) {
    this.onRestart = onRestart;
    this.pending = new Map();
    this.nextId = 1;
    this.restoring = Promise.resolve();
    this.url = URL.createObjectURL(new Blob([kelvaneWorkerSource], { type: "text/javascript" }));
    this.start();
  }

  start() {
    this.worker = new Worker(this.url);
    this.worker.onmessage = (event) => this.answer(event.data);
    this.worker.onerror = (event) => {
      event.preventDefault();
      this.fail(new Error("the core could not start: " + (event.message || "unknown error")));
    };
  }

  // Sends a request; the promise gives its result, or fails with the reason
  // (then a fresh worker has taken over). onProgress(done, total) hears how
  // far a long request is.
  request(kind, data = {}, transfer = [], onProgress = null) {
    const id = this.nextId++;
    return new Promise((resolve, reject) => {
      this.pending.set(id, { resolve, reject, onProgress });
      const worker = this.worker;
      this.restoring.then(() => {
        // Cancelled while the fresh worker was being given its files.
        if (this.pending.has(id) && worker === this.worker) worker.postMessage({ id, kind, ...data }, transfer);
      });
    });
  }

  get busy() { return this.pending.size > 0; }

  answer({ id, ok, result, error, progress }) {
    const waiting = this.pending.get(id);
    if (!waiting) return;
    if (progress) {
      if (waiting.onProgress) waiting.onProgress(progress.done, progress.total);
      return;
    }
    this.pending.delete(id);
    if (ok) {
      waiting.resolve(result);
    } else {
      this.fail(new Error(error), waiting);
    }
  }

  // Ends the worker and what it was doing; every waiting request fails.
  cancel() { this.fail(new Error("Cancelled")); }

  fail(reason, first) {
    const waiting = first ? [first, ...this.pending.values()] : [...this.pending.values()];
    this.pending.clear();
    this.worker.terminate();
    this.start();
    for (const request of waiting) request.reject(reason);
    const worker = this.worker;
    this.restoring = (async () => {
      try {
        for (const { kind, data, transfer } of await this.onRestart()) {
          worker.postMessage({ id: this.nextId++, kind, ...data }, transfer);
        }
      } catch (error) {
        // A file the page can no longer read stays out of the fresh worker.
      }
    })();
  }
};
