#!/usr/bin/python3
"""A real browser (headless Chromium) against DORVANE's HTTP door.

  browser_test.py DOOR_PORT TILL_PORT OTHER_PORT TILL_TOKEN READER_TOKEN KORA1_DIR SHOTS_DIR

The running dorvane and kkora1 are the caller's. A till page is served from
two other loopback origins, on TILL_PORT, which TILL_TOKEN lists, and on
OTHER_PORT, which it does not: the first puts a receipt and
shows its number; the one it does not list reads no answer and prints
nothing. Then DORVANE's own page, signed in with READER_TOKEN, shows a
paper-out while it lasts (kkora1's control file) and then the receipt.
Screenshots go to SHOTS_DIR. Exit status 0 when all of it held.
"""
import http.server
import json
import os
import sys
import threading
import time
import urllib.request

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import WebDriverWait

TILL = """<!DOCTYPE html><html lang="it"><head><meta charset="utf-8"><title>Cassa</title></head>
<body><h1>Cassa di prova</h1><p id="out">...</p>
<script>
const door = 'http://127.0.0.1:%(port)d';
const token = '%(token)s';
async function sell() {
  const key = 'web-' + location.port;
  try {
    const put = await fetch(door + '/v1/receipts/' + key, {
      method: 'PUT',
      headers: { 'Authorization': 'Bearer ' + token, 'Content-Type': 'application/json' },
      body: JSON.stringify({ layout: 'sarema', text: 'PLUD,C1,N1,P250,:CAFFÈ;\\nCASH,V250,:CONTANTI;\\n' }) });
    const got = await fetch(door + '/v1/receipts/' + key + '?wait=20',
                            { headers: { 'Authorization': 'Bearer ' + token } });
    const s = await got.json();
    document.getElementById('out').textContent = 'put ' + put.status + ', ' + s.state + ', numero ' + s.receipt;
  } catch (e) {
    document.getElementById('out').textContent = 'errore: ' + e;
  }
}
sell();
</script></body></html>"""


def serve(page, port):
    class Page(http.server.BaseHTTPRequestHandler):
        def do_GET(self):
            body = page.encode()
            self.send_response(200)
            self.send_header("Content-Type", "text/html; charset=utf-8")
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            self.wfile.write(body)

        def log_message(self, *args):
            pass

    server = http.server.ThreadingHTTPServer(("127.0.0.1", port), Page)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server.server_address[1]


def control(kora1_dir, text):
    # kkora1 reads its control file whole: written aside, renamed into place.
    aside = os.path.join(kora1_dir, "KKORA1.CTL.tmp")
    with open(aside, "w") as f:
        f.write(text + "\r\n")
    os.replace(aside, os.path.join(kora1_dir, "KKORA1.CTL"))


def main():
    port, listed, other = (int(a) for a in sys.argv[1:4])
    till_token, reader_token, kora1_dir, shots = sys.argv[4:8]
    os.makedirs(shots, exist_ok=True)
    options = webdriver.ChromeOptions()
    for arg in ("--headless=new", "--no-sandbox", "--disable-dev-shm-usage", "--window-size=1000,700"):
        options.add_argument(arg)
    browser = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
    failures = []
    try:
        page = TILL % {"port": port, "token": till_token}
        serve(page, listed)
        serve(page, other)
        for till, ok in ((listed, True), (other, False)):
            browser.get("http://127.0.0.1:%d/" % till)
            out = WebDriverWait(browser, 40).until(
                lambda b: b.find_element(By.ID, "out").text if b.find_element(By.ID, "out").text != "..." else None)
            print("till at port %d: %s" % (till, out))
            if ok and not ("printed" in out and "numero " in out and not out.endswith("undefined")):
                failures.append("the listed origin did not get its receipt number: " + out)
            if not ok and not out.startswith("errore"):
                failures.append("the unlisted origin read an answer: " + out)
            if ok:
                browser.save_screenshot(os.path.join(shots, "porta-http-cassa.png"))

        browser.get("http://127.0.0.1:%d/" % port)
        browser.find_element(By.ID, "token").send_keys(reader_token)
        browser.find_element(By.CSS_SELECTOR, "#accesso button").click()
        WebDriverWait(browser, 20).until(lambda b: b.find_element(By.ID, "linea").text == "in linea")
        control(kora1_dir, "paper=out")
        time.sleep(0.5)
        request = urllib.request.Request(
            "http://127.0.0.1:%d/v1/receipts/pagina-1" % port, method="PUT",
            data=json.dumps({"layout": "sarema", "text": "PLUD,C1,N1,P120,:PANE;\nCASH,V120,:CONTANTI;\n"}).encode(),
            headers={"Authorization": "Bearer " + till_token})
        urllib.request.urlopen(request, timeout=20).read()
        WebDriverWait(browser, 30).until(lambda b: b.find_element(By.ID, "carta").is_displayed())
        print("own page during the paper-out:", browser.find_element(By.ID, "carta").text)
        browser.save_screenshot(os.path.join(shots, "porta-http-carta-esaurita.png"))
        control(kora1_dir, "paper=load")
        WebDriverWait(browser, 30).until(lambda b: "pagina-1" in b.find_element(By.ID, "scontrini").text)
        WebDriverWait(browser, 10).until(lambda b: not b.find_element(By.ID, "carta").is_displayed())
        print("own page after it:", browser.find_element(By.ID, "scontrini").text.splitlines()[0])
        if "stampato" not in browser.find_element(By.ID, "scontrini").text:
            failures.append("the page does not show the receipt printed")
        browser.save_screenshot(os.path.join(shots, "porta-http-pagina.png"))
    except Exception as e:  # a wait that timed out names what was awaited
        failures.append("%s: %s" % (type(e).__name__, e))
    finally:
        browser.quit()
    for f in failures:
        print("FAILED:", f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
