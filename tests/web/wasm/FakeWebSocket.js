// A WebSocket that the page-socket suite drives by hand, in place of the browser's: every
// socket the bridge opens is kept in fakeSockets, with what was sent on it, and the suite
// opens, feeds and closes them as a gateway would.
Module['camviewCameraUrl'] = function(name) { return 'ws://gateway.test/camera/' + encodeURIComponent(name); };
globalThis.fakeSockets = [];
globalThis.WebSocket = class {
  constructor(url) {
    this.url = url;
    this.readyState = 0;
    this.sent = [];
    this.closed = false;
    globalThis.fakeSockets.push(this);
  }
  send(bytes) { this.sent.push(Array.from(bytes)); }
  close() {
    this.closed = true;
    this.readyState = 3;
  }
};
