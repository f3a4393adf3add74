// ivqa-extract.html in Debian's chromium, headless: archives of our writer
// restored through the zip download, a wrong passphrase, the native engine's
// hostile archives refused the same way, and no network request at all.
// Ends with one closing line; exit status 77 means "skipped".
import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
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

const work = args.work;
fs.rmSync(work, { recursive: true, force: true });
const downloads = path.join(work, 'downloads');
fs.mkdirSync(downloads, { recursive: true });
const profile = fs.mkdtempSync(path.join(work, 'profile-'));
const browser = await puppeteer.launch({
    executablePath: Chromium,
    headless: true,
    userDataDir: profile,
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
           '--disable-component-update', '--disable-sync', `--proxy-server=127.0.0.1:${proxy.address().port}`,
           '--proxy-bypass-list=<-loopback>'],
});
const requests = [];

async function openPage() {
    const page = await browser.newPage();
    page.on('request', request => requests.push(request.url()));
    page.on('workercreated', async worker => {
        worker.client.on('Network.requestWillBeSent', event => requests.push(event.request.url));
        await worker.client.send('Network.enable').catch(() => {});
    });
    page.on('pageerror', error => failures.push(`page error: ${error.message}`));
    const session = await page.createCDPSession();
    await session.send('Browser.setDownloadBehavior', { behavior: 'allow', downloadPath: downloads });
    await page.goto(pathToFileURL(args.page).href);
    await page.waitForSelector('body[data-ready="1"]', { timeout: 20000 });
    return page;
}

// Opens, extracts, waits for the result; returns its code and text, the
// zip's path when one was downloaded, and the milliseconds of the run.
async function extractInPage(page, archive, { passphrase = Passphrase, keyfile = null, expectZip = true } = {}) {
    const zip = path.join(downloads, path.basename(archive).replace(/\.(run|exe)$/, '') + '.zip');
    fs.rmSync(zip, { force: true });
    const input = await page.$('#archive');
    await input.uploadFile(archive);
    await page.waitForFunction(() => !document.getElementById('details').classList.contains('hidden') ||
                                      document.getElementById('pick-text').textContent.includes('!'));
    await page.$eval('#passphrase', (element, value) => { element.value = value; }, passphrase);
    if (keyfile)
        await (await page.$('#keyfile')).uploadFile(keyfile);
    else
        await page.$eval('#keyfile', element => { element.value = ''; });
    const started = Date.now();
    await page.click('#extract');
    await page.waitForSelector('#result[data-code]', { timeout: 300000 });
    const milliseconds = Date.now() - started;
    const code = Number(await page.$eval('#result', element => element.dataset.code));
    const text = await page.$eval('#result', element => element.textContent);
    let downloaded = null;
    if (expectZip && code === 0) {
        for (let i = 0; i < 600 && !fs.existsSync(zip); ++i)
            await new Promise(resolve => setTimeout(resolve, 100));
        downloaded = fs.existsSync(zip) ? zip : null;
    }
    await page.$eval('#result', element => { delete element.dataset.code; });
    return { code, text, zip: downloaded, milliseconds };
}

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

    const page = await openPage();
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

    const notArchive = path.join(work, 'plain.run');
    fs.writeFileSync(notArchive, Buffer.alloc(3000000, 7));
    await (await page.$('#archive')).uploadFile(notArchive);
    await page.waitForFunction(() => document.getElementById('details').classList.contains('hidden'));
    const refusal = await page.$eval('#pick-text', element => element.textContent);
    check(refusal === 'Can not open archive!', `a file that is no archive: "${refusal}"`);

    // The manifest tells, for each hostile archive, what the native engine
    // returned and which entries it left.
    const manifest = JSON.parse(fs.readFileSync(path.join(args.hostile, 'manifest.json'), 'utf8'));
    for (const entry of manifest) {
        const result = await extractInPage(page, path.join(args.hostile, entry.file), { passphrase: 'p' });
        // A failed run only offers what it restored; take it to see that.
        if (result.code !== 0 && await page.$eval('#download', link => !link.classList.contains('hidden')))
            await page.click('#download');
        const zip = path.join(downloads, entry.file.replace(/\.run$/, '') + '.zip');
        for (let i = 0; i < 50 && !fs.existsSync(zip) && result.code !== 0; ++i)
            await new Promise(resolve => setTimeout(resolve, 100));
        const names = fs.existsSync(zip) ?
            JSON.parse(spawnSync('python3', [ZipCheck, 'list', zip], { encoding: 'utf8' }).stdout) : [];
        const inside = names.every(name => entry.entries.includes(name));
        check(result.code === entry.code && inside,
              `hostile "${entry.label}": ${result.code} as natively ${entry.code}`);
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
    const metrics = await page.metrics();
    const outside = requests.filter(url => !/^(file|data|blob):/.test(url));
    check(requests.length > 0 && outside.length === 0,
          `no network request (${requests.length} requests, outside: ${outside.join(', ') || 'none'})`);
    console.log(`speed: AES-256, ${mib} MiB: page ${speed.milliseconds} ms, ivqa extract ${nativeMs.toFixed(0)} ms, ` +
                `page/native time ${(speed.milliseconds / nativeMs).toFixed(2)}; page JS heap ` +
                `${(metrics.JSHeapUsedSize / 1048576).toFixed(1)} MiB`);
} catch (error) {
    failures.push(String(error.stack || error));
    console.log(String(error.stack || error));
} finally {
    await browser.close();
    proxy.close();
}
console.log(failures.length === 0 ? 'browser page tests: all passed' :
            `browser page tests: ${failures.length} failed: ${failures.join(' | ')}`);
process.exit(failures.length === 0 ? 0 : 1);
