// ivqa-extract.html in Debian's chromium, headless: archives of our writer
// restored through the zip download and into a folder, the overwrite
// question, a wrong passphrase, the native engine's hostile archives refused
// the same way on both paths, and no network request at all.
// Ends with one closing line; exit status 77 means "skipped".
import { spawnSync } from 'node:child_process';
import crypto from 'node:crypto';
import fs from 'node:fs';
import http from 'node:http';
import net from 'node:net';
import path from 'node:path';
import { parseArgs } from 'node:util';
import { pathToFileURL } from 'node:url';

const { values: args } = parseArgs({
    options: {
        page: { type: 'string' }, ivqa: { type: 'string' }, hostile: { type: 'string' },
        work: { type: 'string' }, modules: { type: 'string' }, 'speed-mib': { type: 'string', default: '24' },
    },
});
const Chromium = '/usr/bin/chromium';
const ZipCheck = path.join(path.dirname(new URL(import.meta.url).pathname), 'zip_matches.py');
const Passphrase = 'correct horse ☃';

if (!fs.existsSync(Chromium)) {
    console.log('SKIP: no chromium at /usr/bin/chromium (scripts/install-deps installs it)');
    process.exit(77);
}
const { default: puppeteer } = await import(path.join(args.modules, 'puppeteer-core', 'lib', 'esm', 'puppeteer',
                                                      'puppeteer-core.js'));

const failures = [];
function check(condition, label) {
    if (!condition)
        failures.push(label);
    console.log(`${condition ? 'ok  ' : 'FAIL'} ${label}`);
}

function run(program, argv, input, env = {}) {
    const result = spawnSync(program, argv, { input, encoding: 'utf8', env: { ...process.env, ...env } });
    if (result.status !== 0)
        throw new Error(`${program} ${argv.join(' ')}: ${result.status}\n${result.stderr}`);
    return result.stdout;
}

// The sample tree: several blocks, an empty file, a read-only file, names
// beyond ASCII, nested folders, distinct times.
function makeTree(root) {
    fs.rmSync(root, { recursive: true, force: true });
    fs.mkdirSync(path.join(root, 'sub', 'deeper'), { recursive: true });
    const noise = Buffer.alloc(2600 * 1024);
    let seed = 12345;
    for (let i = 0; i < noise.length; ++i) {
        seed = (seed * 1103515245 + 12345) >>> 0;
        noise[i] = i % 3 === 0 ? seed >>> 24 : 97 + (i % 26);
    }
    const files = {
        'notes.txt': 'first line\r\nsecond line\n',
        'sub/blocks.bin': noise,
        'sub/empty': '',
        'sub/ünïcode €.txt': 'Grüße, привет',
        'sub/deeper/read-only.txt': 'keep me',
    };
    let time = 1500000000;
    for (const [name, content] of Object.entries(files)) {
        const full = path.join(root, name);
        fs.writeFileSync(full, content);
        fs.utimesSync(full, time, time + 0.25);
        time += 86400 * 40 + 7;
    }
    fs.chmodSync(path.join(root, 'sub/deeper/read-only.txt'), 0o444);
}

// Nothing reaches outside: chromium's own services (updates, time) are sent
// to this proxy, which drops them. What the page and its worker ask for is
// recorded through the DevTools protocol below.
const proxy = net.createServer(socket => socket.destroy());
await new Promise(resolve => proxy.listen(0, '127.0.0.1', resolve));
// The folder runs take their folder from the origin's private file system,
// which a page opened from disk has none of: there the page comes from this
// server, which serves it and nothing else.
const PagePath = '/ivqa-extract.html';
const served = [];
const server = http.createServer((request, response) => {
    served.push(request.url);
    if (request.url !== PagePath) {
        response.writeHead(404);
        response.end();
        return;
    }
    response.writeHead(200, { 'Content-Type': 'text/html; charset=utf-8' });
    response.end(fs.readFileSync(args.page));
});
await new Promise(resolve => server.listen(0, '127.0.0.1', resolve));
const pageOrigin = `http://127.0.0.1:${server.address().port}`;

const work = args.work;
fs.rmSync(work, { recursive: true, force: true });
const downloads = path.join(work, 'downloads');
fs.mkdirSync(downloads, { recursive: true });
const profiles = [];
const browsers = [];
const requests = [];

// Each page in a browser of its own: a page is never held back for being
// in the background.
async function openPage(url) {
    const profile = fs.mkdtempSync(path.join(work, 'profile-'));
    const browser = await puppeteer.launch({
        executablePath: Chromium,
        headless: true,
        userDataDir: profile,
        // A long wait is bounded by its own timeout, not by the protocol's.
        protocolTimeout: 600000,
        args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
               '--disable-component-update', '--disable-sync', `--proxy-server=127.0.0.1:${proxy.address().port}`,
               `--proxy-bypass-list=<-loopback>;127.0.0.1:${server.address().port}`],
    });
    profiles.push(profile);
    browsers.push(browser);
    const page = (await browser.pages())[0] ?? await browser.newPage();
    page.on('request', request => requests.push(request.url()));
    page.on('workercreated', async worker => {
        worker.on('console', message => {
            if (message.type() === 'error')
                console.log(`worker: ${message.text()}`);
        });
        worker.client.on('Network.requestWillBeSent', event => requests.push(event.request.url));
        await worker.client.send('Network.enable').catch(() => {});
    });
    page.on('pageerror', error => failures.push(`page error: ${error.message}`));
    // The picker asks a person; the folder comes from the origin's private
    // file system instead, which hands out the same directory handles.
    await page.evaluateOnNewDocument(() => {
        window.pickerOffered = typeof window.showDirectoryPicker === 'function';
        window.showDirectoryPicker = async options => {
            if (options.mode !== 'readwrite')
                throw new Error('the folder is asked for read-only');
            const root = await navigator.storage.getDirectory();
            return root.getDirectoryHandle(window.testFolder, { create: true });
        };
    });
    const session = await page.createCDPSession();
    await session.send('Browser.setDownloadBehavior', { behavior: 'allow', downloadPath: downloads });
    await page.goto(url);
    await page.waitForSelector('body[data-ready="1"]', { timeout: 20000 });
    return page;
}

// Opens, extracts, waits for the result; returns its code and text, the
// zip's path when one was downloaded, and the milliseconds of the run.
// With `folder`, the files go into that folder of the private file system
// instead, and each overwrite question takes the answer `answers` holds for
// its name (1 yes, 0 no, the default, 2 yes to all, 3 no to all); the
// questions asked are returned.
async function extractInPage(page, archive, { passphrase = Passphrase, keyfile = null, expectZip = true,
                                             folder = null, answers = {} } = {}) {
    const zip = path.join(downloads, path.basename(archive).replace(/\.(run|exe)$/, '') + '.zip');
    fs.rmSync(zip, { force: true });
    // Until the worker has answered, the page still shows the last archive.
    await page.evaluate(() => {
        document.getElementById('about').textContent = '';
        document.getElementById('pick-text').textContent = '';
        // The same file again counts as a change only after this.
        document.getElementById('archive').value = '';
    });
    const input = await page.$('#archive');
    await input.uploadFile(archive);
    await page.waitForFunction(() => document.getElementById('about').textContent !== '' ||
                                      document.getElementById('pick-text').textContent.includes('!'), { polling: 50 });
    await page.$eval('#passphrase', (element, value) => { element.value = value; }, passphrase);
    if (keyfile)
        await (await page.$('#keyfile')).uploadFile(keyfile);
    else
        await page.$eval('#keyfile', element => { element.value = ''; });
    await page.evaluate(name => {
        window.testFolder = name;
        document.getElementById('to-folder').checked = name !== null;
    }, folder);
    const questions = [];
    const started = Date.now();
    // Clicked in the page: a click at coordinates can miss while the log grows.
    await page.$eval('#extract', button => button.click());
    for (;;) {
        await page.waitForFunction(() => document.getElementById('result').dataset.code !== undefined ||
                                         !document.getElementById('question').classList.contains('hidden'),
                                   { timeout: 300000, polling: 50 });
        if (await page.$eval('#result', element => element.dataset.code !== undefined))
            break;
        const question = await page.$eval('#question', element => element.innerText);
        questions.push(question);
        const answer = answers[/"(.*)"/.exec(question)?.[1]] ?? 0;
        await page.$eval(`#question button[data-answer="${answer}"]`, button => button.click());
    }
    const milliseconds = Date.now() - started;
    const mark = await page.$eval('#result', element => element.dataset.code);
    if (mark === 'failure')
        throw new Error(`the worker failed: ${await page.$eval('#result', element => element.textContent)}`);
    const code = Number(mark);
    const text = await page.$eval('#result', element => element.textContent);
    let downloaded = null;
    if (expectZip && code === 0 && folder === null) {
        for (let i = 0; i < 600 && !fs.existsSync(zip); ++i)
            await new Promise(resolve => setTimeout(resolve, 100));
        downloaded = fs.existsSync(zip) ? zip : null;
    }
    await page.$eval('#result', element => { delete element.dataset.code; });
    return { code, text, zip: downloaded, milliseconds, questions };
}

// A folder of the private file system as {path: SHA-256 of the contents},
// folders with a trailing slash and null.
function folderTree(page, name) {
    return page.evaluate(async name => {
        const tree = {};
        const hex = buffer => [...new Uint8Array(buffer)].map(byte => byte.toString(16).padStart(2, '0')).join('');
        async function walk(directory, prefix) {
            for await (const [entryName, handle] of directory.entries()) {
                if (handle.kind === 'directory') {
                    tree[prefix + entryName + '/'] = null;
                    await walk(handle, prefix + entryName + '/');
                } else {
                    const bytes = await (await handle.getFile()).arrayBuffer();
                    tree[prefix + entryName] = hex(await crypto.subtle.digest('SHA-256', bytes));
                }
            }
        }
        let start = await navigator.storage.getDirectory();
        for (const part of name ? name.split('/') : [])
            start = await start.getDirectoryHandle(part);
        await walk(start, '');
        return tree;
    }, name);
}

// Files given as {path: text} written into a folder of the private file system.
function putFiles(page, name, files) {
    return page.evaluate(async (name, files) => {
        let folder = await navigator.storage.getDirectory();
        for (const part of name.split('/'))
            folder = await folder.getDirectoryHandle(part, { create: true });
        for (const [path, text] of Object.entries(files)) {
            const parts = path.split('/');
            let directory = folder;
            for (const part of parts.slice(0, -1))
                directory = await directory.getDirectoryHandle(part, { create: true });
            const writable = await (await directory.getFileHandle(parts.at(-1), { create: true })).createWritable();
            await writable.write(text);
            await writable.close();
        }
    }, name, files);
}

// The same for a tree on disk.
function diskTree(root) {
    const tree = {};
    const walk = prefix => {
        for (const entry of fs.readdirSync(path.join(root, prefix), { withFileTypes: true })) {
            if (entry.isDirectory()) {
                tree[prefix + entry.name + '/'] = null;
                walk(prefix + entry.name + '/');
            } else {
                tree[prefix + entry.name] = crypto.createHash('sha256')
                    .update(fs.readFileSync(path.join(root, prefix + entry.name))).digest('hex');
            }
        }
    };
    walk('');
    return tree;
}

function sameTree(got, want) {
    const keys = Object.keys({ ...got, ...want }).sort();
    return keys.filter(key => got[key] !== want[key]).map(key => `${key}: ${key in got ? 'differs' : 'missing'}` +
                                                              `${key in want ? '' : ' (extra)'}`).join(', ');
}

const sha256 = text => crypto.createHash('sha256').update(text).digest('hex');

function zipMatches(root, zip) {
    const result = spawnSync('python3', [ZipCheck, 'tree', root, zip], { encoding: 'utf8' });
    return result.status === 0 ? '' : result.stderr.trim();
}

try {
    const tree = path.join(work, 'tree');
    makeTree(path.join(tree, 'sample'));
    const helpFile = path.join(work, 'help.txt');
    fs.writeFileSync(helpFile, 'Ask Anna for the passphrase.\nСпросите Анну.');
    const keyfile = path.join(work, 'recipient.key');
    run(args.ivqa, ['keygen', '-s', '300', keyfile]);

    const page = await openPage(pathToFileURL(args.page).href);
    const folderPage = await openPage(pageOrigin + PagePath);
    check(await folderPage.evaluate(() => window.pickerOffered), 'chromium offers the folder picker');
    const sampleTree = diskTree(tree);
    const folders = new Set(); // every folder a run was given, below the private root
    const cases = [
        { cipher: 'aes' }, { cipher: 'cast' }, { cipher: 'blowfish' }, { cipher: 'rc4' }, { cipher: 'rc5' },
        { cipher: 'rc4', keyfile: true }, { cipher: 'aes', keyfile: true, passphrase: '' },
        { cipher: 'blowfish', module: 'ru' }, { cipher: 'rc5', target: 'windows' },
        { cipher: 'aes', module: 'ru', target: 'windows' },
        // The authenticated cipher at the floor key cost, and once at the
        // default (Argon2id over 256 MiB in the page's memory).
        { cipher: 'xchacha20', floor: true }, { cipher: 'xchacha20', floor: true, keyfile: true, passphrase: '' },
        { cipher: 'xchacha20', floor: true, keyfile: true },
        { cipher: 'xchacha20', floor: true, module: 'ru', target: 'windows' }, { cipher: 'xchacha20' },
    ];
    const archives = {};
    for (const c of cases) {
        const passphrase = c.passphrase ?? Passphrase;
        const label = `${c.cipher}${c.keyfile ? '+keyfile' : ''}${passphrase ? '' : ' without passphrase'} ` +
                      `${c.module || 'en'} ${c.target || 'linux'}${c.floor ? ' floor cost' : ''}`;
        const output = path.join(work, label.replace(/[^a-z0-9]+/gi, '_'));
        const argv = ['create', '-o', output, '-c', c.cipher, '--help-text', helpFile, '--module', c.module || 'en',
                      '--target', c.target || 'linux'];
        if (c.keyfile)
            argv.push('--keyfile', keyfile);
        const archive = run(args.ivqa, [...argv, path.join(tree, 'sample')], passphrase + '\n',
                            c.floor ? { IVQA_KDF_COST: 'floor' } : {}).trim();
        archives[label] = archive;
        const result = await extractInPage(page, archive, { passphrase, keyfile: c.keyfile ? keyfile : null });
        const problem = result.zip ? zipMatches(tree, result.zip) : 'no zip downloaded';
        check(result.code === 0 && problem === '',
              `${label}: restored byte for byte (${result.text} ${problem}) in ${result.milliseconds} ms`);
        const folder = `case-${folders.size}`;
        folders.add(folder);
        const intoFolder = await extractInPage(folderPage, archive,
                                               { passphrase, keyfile: c.keyfile ? keyfile : null, folder });
        const difference = sameTree(await folderTree(folderPage, folder), sampleTree);
        check(intoFolder.code === 0 && difference === '',
              `${label}: restored into a folder byte for byte (${intoFolder.text} ${difference})`);
        if (c.module === 'ru')
            check(await page.evaluate(() => document.documentElement.lang) === 'ru' && result.text !== 'Done!',
                  `${label}: the module's Russian texts (${result.text})`);
        if ((c.cipher === 'rc4' || c.floor) && !c.keyfile) {
            const wrong = await extractInPage(page, archive, { passphrase: 'not it' });
            check(wrong.code === 7 && (c.module === 'ru' || wrong.text === 'Wrong passphrase or keyfile!'),
                  `${label}: wrong passphrase: "${wrong.text}"`);
        }
        if (c.keyfile && passphrase) {
            const without = await extractInPage(page, archive, { passphrase });
            check(without.code === 7, `${label}: the passphrase alone is refused (${without.text})`);
        }
    }
    const help = await page.$eval('#help', element => element.textContent);
    check(help.includes('Ask Anna for the passphrase.') && help.includes('Спросите Анну.'),
          'the archive\'s help text is shown');
    // A changed or cut authenticated archive: damage, found before the page
    // offers any byte of the changed message (the middle of the payload lies
    // in blocks.bin, which then is not offered).
    const sealed = fs.readFileSync(archives['xchacha20 en linux floor cost']);
    const finalMessage = 4 + 17;
    const payloadOffset = Number(process.env.IVQA_PAYLOAD_OFFSET_EN);
    // The plain header follows the help length and the UTF-16 help text.
    const headerAt = payloadOffset + 2 + 2 * sealed.readUInt16LE(payloadOffset);
    const tampered = [
        { label: 'a help text character', code: 8, change: b => { b[payloadOffset + 2] ^= 1; } },
        { label: 'passes above the cap', code: 8, change: b => { b.writeUInt32LE(17, headerAt + 1); } },
        { label: 'memory above the cap', code: 8, change: b => { b.writeUInt32LE(2097153, headerAt + 5); } },
        { label: 'a byte in the middle', code: 8,
          change: b => { b[payloadOffset + ((b.length - payloadOffset) >> 1)] ^= 1; } },
        { label: 'cut before the final message', code: 4, change: b => b.subarray(0, b.length - finalMessage) },
        { label: 'cut in the middle', code: 4,
          change: b => b.subarray(0, payloadOffset + ((b.length - payloadOffset) >> 1)) },
    ];
    for (const t of tampered) {
        const bytes = Buffer.from(sealed);
        const changed = t.change(bytes) || bytes;
        const file = path.join(work, `tampered-${t.label.replace(/[^a-z]+/g, '-')}.run`);
        fs.writeFileSync(file, changed);
        const result = await extractInPage(page, file);
        let names = [];
        if (result.code !== 0 && await page.$eval('#download', link => !link.classList.contains('hidden'))) {
            await page.click('#download');
            const zip = file.replace(/\.run$/, '.zip').replace(path.dirname(file), downloads);
            for (let i = 0; i < 50 && !fs.existsSync(zip); ++i)
                await new Promise(resolve => setTimeout(resolve, 100));
            if (fs.existsSync(zip))
                names = JSON.parse(spawnSync('python3', [ZipCheck, 'list', zip], { encoding: 'utf8' }).stdout);
        }
        const complete = t.label.startsWith('cut before');
        check(result.code === t.code && names.includes('sample/sub/blocks.bin') === complete,
              `xchacha20 ${t.label}: ${result.code} (${result.text}), offered: ${names.join(', ') || 'nothing'}`);
    }

    // The overwrite question, in the archive's language: "no" keeps the old
    // file, "yes" replaces it, "yes to all" asks once for the whole run.
    const writeArchive = (name, module, ...inputs) => run(args.ivqa, ['create', '-o', path.join(work, name), '-c',
                                                                      'aes', '--module', module, ...inputs],
                                                          Passphrase + '\n').trim();
    const english = writeArchive('overwrite-en', 'en', path.join(tree, 'sample'));
    folders.add('overwrite');
    await putFiles(folderPage, 'overwrite', { 'sample/notes.txt': 'old notes', 'sample/sub/empty': 'old empty' });
    const asked = await extractInPage(folderPage, english, { folder: 'overwrite',
                                                          answers: { 'notes.txt': 0, 'empty': 1 } });
    const afterAnswers = await folderTree(folderPage, 'overwrite');
    check(asked.code === 0 && asked.questions.length === 2 &&
          asked.questions[1].includes('"notes.txt" already exists!\nDo you want to overrite it?') &&
          asked.questions[1].includes('Confirmation') && asked.questions[1].includes('Yes to all'),
          `overwrite question in English (${JSON.stringify(asked.questions)})`);
    const kept = sameTree(afterAnswers, { ...sampleTree, 'sample/notes.txt': sha256('old notes') });
    check(kept === '', `overwrite: "no" kept the old file, "yes" replaced the other (${kept})`);
    const russian = writeArchive('overwrite-ru', 'ru', path.join(tree, 'sample'));
    const all = await extractInPage(folderPage, russian, { folder: 'overwrite', answers: { 'ünïcode €.txt': 2 } });
    const replaced = sameTree(await folderTree(folderPage, 'overwrite'), sampleTree);
    check(all.code === 0 && all.questions.length === 1 && replaced === '' &&
          all.questions[0].includes('"ünïcode €.txt" уже существует!\nВы хотите его перезаписать?'),
          `overwrite question in Russian, "yes to all" asked once (${JSON.stringify(all.questions)} ${replaced})`);

    // A damaged file agreed to be replaced leaves the old one as it was, and
    // nothing after the error is written. The inputs are stored in the order
    // given.
    const cutSource = path.join(work, 'cut-tree');
    fs.mkdirSync(cutSource, { recursive: true });
    const cutInputs = { 'first.txt': 'first', 'second.bin': crypto.randomBytes(3 << 20), 'third.txt': 'third' };
    for (const [name, content] of Object.entries(cutInputs))
        fs.writeFileSync(path.join(cutSource, name), content);
    const whole = writeArchive('cut-whole', 'en', ...Object.keys(cutInputs).map(name => path.join(cutSource, name)));
    const cut = path.join(work, 'cut.run');
    const wholeBytes = fs.readFileSync(whole);
    fs.writeFileSync(cut, wholeBytes.subarray(0, wholeBytes.length - (2 << 20)));
    folders.add('damaged');
    await putFiles(folderPage, 'damaged', { 'second.bin': 'precious' });
    const damaged = await extractInPage(folderPage, cut, { folder: 'damaged', answers: { 'second.bin': 1 } });
    const left = sameTree(await folderTree(folderPage, 'damaged'),
                          { 'first.txt': sha256('first'), 'second.bin': sha256('precious') });
    check(damaged.code === 4 && damaged.text === 'Can not open archive!' && left === '',
          `a cut archive into a folder: "${damaged.text}", the replaced file kept, nothing after it (${left})`);
    const fresh = await extractInPage(folderPage, cut, { folder: 'damaged-fresh' });
    folders.add('damaged-fresh');
    const freshLeft = sameTree(await folderTree(folderPage, 'damaged-fresh'),
                               { 'first.txt': sha256('first') });
    check(fresh.code === 4 && freshLeft === '',
          `a cut archive into an empty folder: the unfinished file removed (${fresh.code} ${freshLeft})`);

    const notArchive = path.join(work, 'plain.run');
    fs.writeFileSync(notArchive, Buffer.alloc(3000000, 7));
    await (await page.$('#archive')).uploadFile(notArchive);
    await page.waitForFunction(() => document.getElementById('details').classList.contains('hidden'), { polling: 50 });
    const refusal = await page.$eval('#pick-text', element => element.textContent);
    check(refusal === 'Can not open archive!', `a file that is no archive: "${refusal}"`);

    // The manifest tells, for each hostile archive, what the native engine
    // returned and which entries it left.
    const manifest = JSON.parse(fs.readFileSync(path.join(args.hostile, 'manifest.json'), 'utf8'));
    for (const entry of manifest) {
        const result = await extractInPage(page, path.join(args.hostile, entry.file), { passphrase: 'p' });
        // A failed run only offers what it restored; take it to see that.
        if (result.code !== 0 && await page.$eval('#download', link => !link.classList.contains('hidden')))
            await page.$eval('#download', link => link.click());
        const zip = path.join(downloads, entry.file.replace(/\.run$/, '') + '.zip');
        for (let i = 0; i < 50 && !fs.existsSync(zip) && result.code !== 0; ++i)
            await new Promise(resolve => setTimeout(resolve, 100));
        const names = fs.existsSync(zip) ?
            JSON.parse(spawnSync('python3', [ZipCheck, 'list', zip], { encoding: 'utf8' }).stdout) : [];
        const inside = names.every(name => entry.entries.includes(name));
        check(result.code === entry.code && inside,
              `hostile "${entry.label}": ${result.code} as natively ${entry.code}`);
        const intoFolder = await extractInPage(folderPage, path.join(args.hostile, entry.file),
                                               { passphrase: 'p', folder: 'hostile' });
        const written = Object.keys(await folderTree(folderPage, 'hostile'));
        check(intoFolder.code === entry.code && written.every(name => entry.entries.includes(name)),
              `hostile "${entry.label}" into a folder: ${intoFolder.code}, wrote ${JSON.stringify(written)}`);
        await folderPage.evaluate(async () => {
            const root = await navigator.storage.getDirectory();
            await root.removeEntry('hostile', { recursive: true });
        });
    }

    // Speed: one AES-256 archive, the page against `ivqa extract`, same run.
    const speedRoot = path.join(work, 'speed-tree');
    const speedTree = path.join(speedRoot, 'speed');
    fs.mkdirSync(speedTree, { recursive: true });
    const mib = Number(args['speed-mib']);
    const big = Buffer.alloc(mib << 20);
    for (let i = 0; i < big.length; i += 4)
        big.writeUInt32LE((i * 2654435761) >>> 0, i);
    fs.writeFileSync(path.join(speedTree, 'data.bin'), big);
    const speedArchive = run(args.ivqa, ['create', '-o', path.join(work, 'speed'), '-c', 'aes', '-l', '1', speedTree],
                             Passphrase + '\n').trim();
    const destination = path.join(work, 'native-out');
    fs.mkdirSync(destination);
    const nativeStart = process.hrtime.bigint();
    run(args.ivqa, ['extract', speedArchive, '--dest', destination], Passphrase + '\n');
    const nativeMs = Number(process.hrtime.bigint() - nativeStart) / 1e6;
    const speed = await extractInPage(page, speedArchive);
    check(speed.code === 0 && speed.zip && zipMatches(speedRoot, speed.zip) === '',
          'the speed archive restored');
    fs.rmSync(speed.zip, { force: true });
    folders.add('speed');
    const speedFolder = await extractInPage(folderPage, speedArchive, { folder: 'speed' });
    check(speedFolder.code === 0 && sameTree(await folderTree(folderPage, 'speed'), diskTree(speedRoot)) === '',
          'the speed archive restored into a folder');
    const outsideFolders = Object.keys(await folderTree(folderPage, ''))
        .filter(name => !name.includes('/', name.indexOf('/') + 1) && name.endsWith('/'))
        .map(name => name.slice(0, -1)).filter(name => !folders.has(name));
    check(outsideFolders.length === 0, `nothing written beside the chosen folders (${outsideFolders.join(', ')})`);
    const metrics = await page.metrics();
    const outside = requests.filter(url => !/^(file|data|blob):/.test(url) && url !== pageOrigin + PagePath);
    check(requests.length > 0 && outside.length === 0,
          `no network request (${requests.length} requests, outside: ${outside.join(', ') || 'none'})`);
    check(served.every(url => url === PagePath), `the served page asked for nothing else (${served.join(', ')})`);
    // The page and its worker share the renderer process: its peak resident size.
    const renderers = profiles.flatMap(profile => spawnSync('pgrep', ['-f', '--', `--type=renderer.*` +
        `${path.basename(profile)}|${path.basename(profile)}.*--type=renderer`], { encoding: 'utf8' })
        .stdout.split('\n').filter(Boolean));
    const peaks = renderers.map(pid => {
        try {
            return Number(/VmHWM:\s+(\d+)/.exec(fs.readFileSync(`/proc/${pid}/status`, 'utf8'))[1]) / 1024;
        } catch {
            return 0;
        }
    });
    console.log(`speed: AES-256, ${mib} MiB: ivqa extract ${nativeMs.toFixed(0)} ms, page to zip ` +
                `${speed.milliseconds} ms (${(speed.milliseconds / nativeMs).toFixed(2)} x native), page to folder ` +
                `${speedFolder.milliseconds} ms (${(speedFolder.milliseconds / nativeMs).toFixed(2)} x native); ` +
                `page JS heap ${(metrics.JSHeapUsedSize / 1048576).toFixed(1)} MiB, renderer peak RSS ` +
                `${Math.max(0, ...peaks).toFixed(0)} MiB`);
} catch (error) {
    const text = String(error.stack || error) + (error.cause ? `\ncaused by: ${error.cause.stack || error.cause}` : '');
    failures.push(text);
    console.log(text);
} finally {
    for (const browser of browsers)
        await browser.close();
    proxy.close();
    server.close();
}
console.log(failures.length === 0 ? 'browser page tests: all passed' :
            `browser page tests: ${failures.length} failed: ${failures.join(' | ')}`);
process.exit(failures.length === 0 ? 0 : 1);
