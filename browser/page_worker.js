'use strict';
// The page's worker: here the picked files can be read synchronously, in
// slices, by the engine's file system, and the restored tree leaves as blobs
// that the browser may keep on disk.

let engine = null;
let zipParts = [];
let pending = [];
let pendingBytes = 0;
let lastProgress = 0;
let progressBytes = 0;
const FlushBytes = 8 << 20;

function flushZip() {
    if (pending.length > 0) {
        zipParts.push(new Blob(pending));
        pending = [];
        pendingBytes = 0;
    }
}

const hooks = {
    print: () => {},
    printErr: () => {},
    onZipBytes(view) {
        pending.push(view.slice());
        pendingBytes += view.length;
        if (pendingBytes >= FlushBytes)
            flushZip();
        return true;
    },
    onEntry(directory, name, size) {
        postMessage({ type: 'entry', directory, name, size });
    },
    onLeave() {
        postMessage({ type: 'leave' });
    },
    onBlock(bytes) {
        progressBytes += bytes;
        const now = Date.now();
        if (now - lastProgress >= 200) {
            lastProgress = now;
            postMessage({ type: 'progress', bytes: progressBytes });
        }
    },
};

function mount(folder, blob) {
    const FS = engine.FS;
    if (FS.analyzePath(folder).exists) {
        FS.unmount(folder);
        FS.rmdir(folder);
    }
    FS.mkdir(folder);
    FS.mount(FS.filesystems.WORKERFS, { blobs: [{ name: 'file', data: blob }] }, folder);
    return folder + '/file';
}

function unmount(folder) {
    const FS = engine.FS;
    if (FS.analyzePath(folder).exists) {
        FS.unmount(folder);
        FS.rmdir(folder);
    }
}

function texts(language) {
    const text = (key, index) => engine.ccall('ivqa_page_text', 'string', ['string', 'string', 'number'],
                                              [language, key, index || 0]);
    const result = {};
    for (const key of ['windowTitle', 'passphraseLabel', 'keyfileLabel', 'statusLabel', 'extractButton',
                       'selectKeyfileButton', 'helpCaption', 'noKeyInput', 'readyLine', 'runStartLine',
                       'doneLine', 'errorLine', 'titlePrefix'])
        result[key] = text(key);
    result.results = [];
    for (let i = 0; i < 10; ++i)
        result.results.push(text('result', i));
    return result;
}

function open(file) {
    const path = mount('/archive', file);
    const code = engine.ccall('ivqa_page_open', 'number', ['string'], [path]);
    const field = name => engine.ccall('ivqa_page_archive', 'string', ['string'], [name]);
    if (code !== 0)
        return { type: 'opened', code };
    return {
        type: 'opened', code, language: field('language'), system: field('system'), module: field('module'),
        cipher: field('cipher'), help: field('help'),
    };
}

function run(passphrase, keyfile, mode) {
    const keyfilePath = keyfile ? mount('/keyfile', keyfile) : '';
    zipParts = [];
    pending = [];
    pendingBytes = 0;
    progressBytes = 0;
    // The passphrase as UTF-16 units in the engine's memory, wiped after the run.
    const units = passphrase.length;
    const buffer = engine._malloc(2 * units + 2);
    const heap = engine.HEAPU16;
    for (let i = 0; i < units; ++i)
        heap[buffer / 2 + i] = passphrase.charCodeAt(i);
    let code;
    try {
        code = engine.ccall('ivqa_page_run', 'number', ['number', 'number', 'string', 'number'],
                            [buffer, units, keyfilePath, mode]);
    } finally {
        engine.HEAPU16.fill(0, buffer / 2, buffer / 2 + units + 1);
        engine._free(buffer);
        unmount('/keyfile');
    }
    flushZip();
    const zip = zipParts.length > 0 ? new Blob(zipParts, { type: 'application/zip' }) : null;
    zipParts = [];
    return { type: 'finished', code, zip, bytes: progressBytes };
}

onmessage = async event => {
    const message = event.data;
    try {
        if (message.type === 'init') {
            hooks.wasmBinary = message.wasm;
            engine = await IvqaEngine(hooks);
            postMessage({ type: 'ready', texts: { en: texts('en'), ru: texts('ru') } });
        } else if (message.type === 'open') {
            postMessage(open(message.file));
        } else if (message.type === 'run') {
            postMessage(run(message.passphrase, message.keyfile, message.mode));
        }
    } catch (error) {
        postMessage({ type: 'failure', text: String(error && error.message || error) });
    }
};
