#!/usr/bin/env python3
"""Inlines the engine's script, the worker and the WebAssembly into the page:
one file that works opened from disk, with nothing to fetch."""
import base64
import sys


def as_script_text(text):
    # Only "</script" ends a script element's text; nothing else needs care.
    return text.replace("</script", "<\\/script")


def main():
    page, worker, engine, wasm, output = sys.argv[1:6]
    with open(page, encoding="utf-8") as f:
        html = f.read()
    with open(engine, encoding="utf-8") as f:
        engine_js = f.read()
    with open(worker, encoding="utf-8") as f:
        worker_js = f.read()
    with open(wasm, "rb") as f:
        wasm_b64 = base64.b64encode(f.read()).decode("ascii")
    for marker, text in (("/*@ENGINE_JS@*/", engine_js), ("/*@WORKER_JS@*/", worker_js),
                         ("@ENGINE_WASM@", wasm_b64)):
        if html.count(marker) != 1:
            sys.exit(f"assemble_page: {marker} must appear once in {page}")
        html = html.replace(marker, as_script_text(text))
    with open(output + ".tmp", "w", encoding="utf-8") as f:
        f.write(html)
    import os
    os.replace(output + ".tmp", output)


if __name__ == "__main__":
    main()
