'use strict';
// The page's worker: here the picked files can be read synchronously, in
// slices, by the engine's file system, and the restored tree leaves as blobs
// that the browser may keep on disk, or goes into the picked folder one
// block at a time.

let engine = null;
let zipParts = [];
let pending = [];
let pendingBytes = 0;
let lastProgress = 0;
let progressBytes = 0;
const FlushBytes = 8 << 20;
let answerOverwrite = null;

// The picked folder's handles for the engine's folder file system: numbers
// in a table, 1 the folder itself. A file is written through a writable
// stream, which the browser keeps beside the entry until it is closed; an
// unfinished one stays recorded until the engine removes it, so that an
// entry that existed before is kept and one made for it is removed.
const folder = {
    handles: new Map(),
    files: new Map(),
    unfinished: new Map(),
    next: 2,
    reset(root) {
        this.handles = new Map(root ? [[1, root]] : []);
        this.files = new Map();
        this.unfinished = new Map();
        this.next = 2;
    },
    add(table, value) {
        const id = this.next++;
        table.set(id, value);
        return id;
    },
    release(id) {
        this.handles.delete(id);
    },
    // 0 missing (or a name the browser will not use), 1 file, 2 folder.
    async kindOf(directory, name) {
        try {
            await this.handles.get(directory).getFileHandle(name);
            return 1;
        } catch (error) {
            return error.name === 'TypeMismatchError' ? 2 : 0;
        }
    },
    async makeDirectory(directory, name) {
        try {
            await this.handles.get(directory).getDirectoryHandle(name, { create: true });
            return 1;
        } catch {
            return 0;
        }
    },
    async openDirectory(directory, name) {
        try {
            return this.add(this.handles, await this.handles.get(directory).getDirectoryHandle(name));
        } catch {
            return 0;
        }
    },
    async createFile(directory, name) {
        const parent = this.handles.get(directory);
        let handle;
        let created = false;
        try {
            handle = await parent.getFileHandle(name);
        } catch (error) {
            if (error.name !== 'NotFoundError')
                return 0;
            try {
                handle = await parent.getFileHandle(name, { create: true });
                created = true;
            } catch {
                return 0;
            }
        }
        try {
            const writable = await handle.createWritable({ keepExistingData: false });
            const record = { key: directory + '/' + name, created, writable, settled: Promise.resolve() };
            this.unfinished.set(record.key, record);
            return this.add(this.files, record);
        } catch {
            if (created)
                await parent.removeEntry(name).catch(() => {});
            return 0;
        }
    },
    async write(file, bytes) {
        try {
            await this.files.get(file).writable.write(bytes);
            return 1;
        } catch {
            return 0;
        }
    },
    async close(file) {
        const record = this.files.get(file);
        this.files.delete(file);
        try {
            await record.writable.close();
            this.unfinished.delete(record.key);
            return 1;
        } catch {
            return 0;
        }
    },
    abort(file) {
        const record = this.files.get(file);
        if (!record)
            return;
        this.files.delete(file);
        record.settled = record.writable.abort().catch(() => {});
    },
    // Files only; for an unfinished file, only what this run made of it.
    async remove(directory, name) {
        const parent = this.handles.get(directory);
        const key = directory + '/' + name;
        const record = this.unfinished.get(key);
        if (record) {
            this.unfinished.delete(key);
            await record.settled;
            if (!record.created)
                return 1;
        } else if (await this.kindOf(directory, name) !== 1) {
            return 0;
        }
        // An aborted stream lets go of its file a moment after its promise
        // settles; until then the file is locked.
        for (let attempt = 0; ; ++attempt) {
            try {
                await parent.removeEntry(name);
                return 1;
            } catch (error) {
                if (error.name === 'NotFoundError')
                    return record ? 1 : 0;
                if (error.name !== 'NoModificationAllowedError' || attempt === 100)
                    return 0;
                await new Promise(resolve => setTimeout(resolve, 20));
            }
        }
    },
};

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
    onRemoved(name) {
        postMessage({ type: 'removed', name });
    },
    askOverwrite(name) {
        postMessage({ type: 'ask', name });
        return new Promise(resolve => { answerOverwrite = resolve; });
    },
    folder,
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
                       'doneLine', 'errorLine', 'titlePrefix', 'removedLinePrefix', 'questionCaption',
                       'overwriteQuestionTail', 'yesButton', 'noButton', 'yesToAllButton', 'noToAllButton'])
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

// `target`: the picked folder's handle (mode 2).
async function run(passphrase, keyfile, mode, target) {
    const keyfilePath = keyfile ? mount('/keyfile', keyfile) : '';
    folder.reset(target);
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
        code = await engine.ccall('ivqa_page_run', 'number', ['number', 'number', 'string', 'number'],
                                  [buffer, units, keyfilePath, mode], { async: true });
    } finally {
        folder.reset(null);
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
            postMessage(await run(message.passphrase, message.keyfile, message.mode, message.folder));
        } else if (message.type === 'answer' && answerOverwrite) {
            const answer = answerOverwrite;
            answerOverwrite = null;
            answer(message.answer);
        }
    } catch (error) {
        postMessage({ type: 'failure', text: String(error && error.message || error) });
    }
};
