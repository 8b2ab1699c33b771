// single-file-cli's protocol client closes with CloseEvent, a global from Node.js 23 on.
globalThis.CloseEvent ??= class CloseEvent extends Event {
  constructor(type, init = {}) {
    super(type);
    this.code = init.code ?? 0;
    this.reason = init.reason ?? '';
    this.wasClean = init.wasClean ?? false;
  }
};
