// <camview-viewer recorder="NAME" id="N" [decode="fit|full"]>: the camera viewer in a page.
// It shows camera N of the recorder that the page's gateway relays under NAME, drawn by the
// viewer core compiled to WebAssembly: the same picture, on-screen display, diagnostics and
// status screens as the Windows plug-in and control paint. The viewer's Receiver and Decoder
// threads run in Web Workers; this script is its window: it pumps the viewer's messages and
// paints the canvas.
// decode="fit" (the default): an element at most half the picture's size gets the picture
// decoded at a lower resolution that still covers it, for a fraction of the work;
// decode="full": every picture in full, scaled to the element, as the Windows hosts paint it.
//
// Events: 'camview-picture' when a new picture is on the canvas, 'camview-status' when the
// status text changes. Properties: statusText, showingPicture, picturesShown; snapshot()
// returns the canvas pixels together with the picture they show.
(function () {
  'use strict';
  // Marks of the way to the first picture (performance.getEntriesByType('mark')), for
  // bench/web/first-picture.mjs: each is set once per page.
  const marked = new Set();
  function mark(name) {
    if (marked.has(name)) return;
    marked.add(name);
    performance.mark('camview-' + name);
  }
  mark('script');
  const scriptUrl = document.currentScript.src;
  const base = new URL('.', scriptUrl).href;
  const viewers = new Set();
  let modulePromise = null;
  let wakeScheduled = false;
  const wakeChannel = new MessageChannel();

  // A camera's WebSocket on the page's own gateway: /camera/NAME/ID (the viewer names its
  // camera so, and a balancer in front of several gateways routes by it). A page opened
  // through a signed link passes the link's token on: the gateway checks it again for every
  // camera.
  const pageToken = new URLSearchParams(location.search).get('token');
  function cameraUrl(name) {
    const url = (location.protocol === 'https:' ? 'wss://' : 'ws://') + location.host + '/camera/' +
                name.split('/').map(encodeURIComponent).join('/');
    return pageToken ? url + '?token=' + encodeURIComponent(pageToken) : url;
  }

  // The module starts loading as soon as this script runs (the pages name its files in
  // preload links, so they are usually on their way already): the runtime script runs and
  // starts its worker threads while the WebAssembly downloads, and the WebAssembly is
  // compiled while it downloads, once (emscripten hands the compiled module to the workers).
  let compiledModule = null;
  function compileModule() {
    const name = 'camview-web.wasm';
    compiledModule = fetch(base + name, { credentials: 'same-origin' }).then((response) => {
      if (!response.ok) throw new Error(name + ' could not be loaded (HTTP ' + response.status + ')');
      // Streaming compilation needs the application/wasm type (the gateway's); a server that
      // sends another gets the module compiled once it is all there.
      return /^application\/wasm\b/.test(response.headers.get('Content-Type') || '')
        ? WebAssembly.compileStreaming(response)
        : response.arrayBuffer().then((bytes) => WebAssembly.compile(bytes));
    }).then((module) => {
      mark('module-compiled');
      return module;
    });
    compiledModule.catch(() => {}); // reported through the module's promise
  }

  function loadModule() {
    if (modulePromise) return modulePromise;
    if (!compiledModule) compileModule();
    modulePromise = new Promise((resolve, reject) => {
      const script = document.createElement('script');
      script.src = base + 'camview-web.js';
      script.onload = () => {
        mark('module-script');
        createCamviewModule({
          locateFile: (name) => base + name,
          mainScriptUrlOrBlob: base + 'camview-web.js',
          camviewCameraUrl: cameraUrl,
          // Instantiates the module compiled above; emscripten then loads it into its workers.
          instantiateWasm: (imports, receiveInstance) => {
            compiledModule.then((module) => WebAssembly.instantiate(module, imports)
              .then((instance) => {
                // From here to module-ready: the worker threads load the module.
                mark('module-instantiated');
                receiveInstance(instance, module);
              })).catch(reject);
            return {};
          },
        }).then(resolve, reject);
      };
      script.onerror = () => reject(new Error('camview-web.js could not be loaded'));
      document.head.appendChild(script);
    }).then((module) => {
      mark('module-ready');
      // Worker threads post to a viewer's window: pump every viewer soon, on this thread.
      module.camviewWake = () => {
        if (wakeScheduled) return;
        wakeScheduled = true;
        wakeChannel.port2.postMessage(0);
      };
      wakeChannel.port1.onmessage = () => {
        wakeScheduled = false;
        module._camview_wake_taken();
        for (const viewer of viewers) viewer._pump();
      };
      return module;
    });
    return modulePromise;
  }

  // The viewer's texts are Windows-1252 bytes.
  const textDecoder = new TextDecoder('windows-1252');
  function readText(module, pointer) {
    const heap = new Uint8Array(module.camviewBuffer());
    let end = pointer;
    while (heap[end] !== 0) end++;
    return textDecoder.decode(heap.slice(pointer, end));
  }

  function heapBytes(module, pointer, length) {
    return new Uint8Array(module.camviewBuffer(), pointer, length);
  }

  class CamviewViewer extends HTMLElement {
    constructor() {
      super();
      const root = this.attachShadow({ mode: 'open' });
      root.innerHTML = '<style>:host{display:inline-block;width:720px;height:576px;overflow:hidden}' +
                       'canvas{display:block}</style><canvas></canvas>';
      this._canvas = root.querySelector('canvas');
      this._context = this._canvas.getContext('2d');
      this._module = null;
      this._host = 0;
      this._paintRequested = false;
      this._newPicture = false;
      this._status = '';
      this._resizeObserver = new ResizeObserver(() => this._resize());
    }

    connectedCallback() {
      this._resizeObserver.observe(this);
      loadModule().then((module) => {
        if (!this.isConnected || this._host) return;
        this._module = module;
        const [width, height] = this._size();
        mark('viewer-creating');
        this._host = module.ccall('camview_viewer_create', 'number',
                                  ['string', 'number', 'number', 'number', 'number'],
                                  [this.recorder, this.connectionId, width, height, this._decodeFit()]);
        if (!this._host) throw new Error('camview: no memory for a viewer');
        mark('viewer-started');
        viewers.add(this);
        this._pump();
      }).catch((error) => console.error('camview:', error));
    }

    disconnectedCallback() {
      this._resizeObserver.disconnect();
      if (!this._host) return;
      viewers.delete(this);
      // Returns at once: the viewer leaves the canvas now and is stopped and freed on a
      // thread of its own (WebViewerHost.cpp says why).
      this._module._camview_viewer_destroy(this._host);
      this._host = 0;
    }

    static get observedAttributes() { return ['decode']; }

    attributeChangedCallback(name) {
      if (name === 'decode' && this._host) this._module._camview_viewer_set_decode(this._host, this._decodeFit());
    }

    // Anything but "full" decodes at the element's size.
    _decodeFit() { return this.getAttribute('decode') === 'full' ? 0 : 1; }

    get recorder() { return this.getAttribute('recorder') || ''; }
    get connectionId() { return parseInt(this.getAttribute('id') || '0', 10) | 0; }
    get statusText() { return this._status; }
    get showingPicture() { return !!(this._host && this._module._camview_viewer_showing_picture(this._host)); }
    get picturesShown() { return this._host ? this._module._camview_viewer_pictures_shown(this._host) : 0; }

    // The canvas as it is now, with the picture it shows: { width, height, rgba, header,
    // data, decodedWidth, decodedHeight, showingPicture, statusText }.
    snapshot() {
      if (!this._host) return null;
      this._paint();
      const module = this._module;
      const width = this._canvas.width, height = this._canvas.height;
      const rgba = this._context.getImageData(0, 0, width, height).data;
      const words = module._malloc(16);
      module._camview_viewer_shown_picture(this._host, words);
      const w = new Uint32Array(heapBytes(module, words, 16).slice().buffer);
      module._free(words);
      return {
        width, height, rgba: new Uint8Array(rgba.buffer),
        header: heapBytes(module, w[0], 208).slice(),
        data: w[1] ? heapBytes(module, w[1], w[2]).slice() : new Uint8Array(0),
        decodedWidth: w[3] >>> 16, decodedHeight: w[3] & 0xffff,
        showingPicture: this.showingPicture, statusText: this._status,
      };
    }

    _size() {
      const width = Math.max(1, Math.round(this.clientWidth || 720));
      const height = Math.max(1, Math.round(this.clientHeight || 576));
      return [width, height];
    }

    _resize() {
      if (!this._host) return;
      const [width, height] = this._size();
      this._module._camview_viewer_resize(this._host, width, height);
      this._pump();
    }

    _pump() {
      if (!this._host) return;
      const module = this._module;
      const result = module._camview_viewer_pump(this._host);
      if (result & 2) {
        this._newPicture = true;
        mark('picture-decoded');
      }
      const status = readText(module, module._camview_viewer_status(this._host));
      if (status !== this._status) {
        this._status = status;
        this.dispatchEvent(new CustomEvent('camview-status', { detail: status }));
      }
      if ((result & 1) && !this._paintRequested) {
        this._paintRequested = true;
        requestAnimationFrame(() => this._paint());
      }
    }

    _paint() {
      this._paintRequested = false;
      if (!this._host) return;
      const module = this._module;
      const pixels = module._camview_viewer_paint(this._host);
      const width = module._camview_viewer_width(this._host);
      const height = module._camview_viewer_height(this._host);
      if (this._canvas.width !== width || this._canvas.height !== height) {
        this._canvas.width = width;
        this._canvas.height = height;
      }
      // ImageData wants memory of its own, not the module's shared memory.
      const copy = new Uint8ClampedArray(heapBytes(module, pixels, width * height * 4));
      this._context.putImageData(new ImageData(copy, width, height), 0, 0);
      if (this._newPicture) {
        this._newPicture = false;
        this.dispatchEvent(new CustomEvent('camview-picture', { detail: this.picturesShown }));
      }
    }
  }

  customElements.define('camview-viewer', CamviewViewer);
  loadModule().catch((error) => console.error('camview:', error));
})();
