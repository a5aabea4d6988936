#include "web/page.h"

namespace dorvane::web {

namespace {

constexpr std::string_view kHtml = R"(<!DOCTYPE html>
<html lang="it">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>ZTK DORVANE</title>
<link rel="stylesheet" href="/dorvane.css">
</head>
<body>
<header><h1>ZTK DORVANE</h1><span id="linea">non in linea</span></header>
<main>
<form id="accesso">
  <p>Per vedere lo stato di DORVANE serve un token con il permesso <b>read</b>
  (<code>dorvane-web token new NOME --scopes read</code>). Resta solo in questa scheda del browser.</p>
  <label>Token <input id="token" type="password" autocomplete="off" required></label>
  <button type="submit">Entra</button>
  <p id="errore" class="errore"></p>
</form>
<section id="pannello" hidden>
  <div id="carta" class="carta" hidden></div>
  <div id="episodio" class="episodio"></div>
  <dl>
    <dt>Stato</dt><dd id="stato">-</dd>
    <dt>KORA1</dt><dd id="kora1">-</dd>
    <dt>In stampa</dt><dd id="stampa">-</dd>
    <dt>In attesa</dt><dd id="attesa">-</dd>
    <dt>Oggi</dt><dd id="oggi">-</dd>
  </dl>
  <h2>Ultimi scontrini</h2>
  <table>
    <thead><tr><th>Ora</th><th>Scontrino</th><th>Esito</th><th>Numero</th><th>Totale o motivo</th></tr></thead>
    <tbody id="scontrini"><tr><td colspan="5">Nessuno finora.</td></tr></tbody>
  </table>
  <button id="esci" type="button">Esci</button>
</section>
</main>
<script src="/dorvane.js"></script>
</body>
</html>
)";

constexpr std::string_view kCss = R"(body { font-family: "DejaVu Sans", Arial, sans-serif; margin: 0; background: #f4f4f4; color: #222; }
header { background: #1f3a5f; color: #fff; display: flex; justify-content: space-between; align-items: center; padding: 0.5em 1em; }
header h1 { font-size: 1.3em; margin: 0; }
main { max-width: 60em; margin: 1em auto; padding: 0 1em; }
form, section { background: #fff; padding: 1em; border-radius: 4px; }
dl { display: grid; grid-template-columns: 8em 1fr; gap: 0.3em 1em; }
dt { font-weight: bold; }
dd { margin: 0; }
#esci { margin-top: 1em; }
.carta { background: #c62828; color: #fff; font-weight: bold; padding: 0.7em; margin-bottom: 1em; }
.episodio { color: #8a5a00; margin-bottom: 0.5em; }
.errore { color: #c62828; }
table { border-collapse: collapse; width: 100%; }
th, td { text-align: left; border-bottom: 1px solid #ddd; padding: 0.3em; }
.printed { color: #1b5e20; }
.refused, .failed { color: #c62828; }
.unknown { color: #8a5a00; font-weight: bold; }
)";

constexpr std::string_view kJs = R"('use strict';
const $ = (id) => document.getElementById(id);
const words = { printed: 'stampato', refused: 'rifiutato', unknown: 'esito sconosciuto', failed: 'non consegnato' };
let token = sessionStorage.getItem('dorvane-token') || '';
let lastId = '';
let following = false;
const receipts = [];

async function api(path) {
  const r = await fetch(path, { headers: { Authorization: 'Bearer ' + token }, cache: 'no-store' });
  if (r.status === 401 || r.status === 403) throw new Error('token');
  if (!r.ok) throw new Error('HTTP ' + r.status);
  return r.json();
}

async function readStatus() {
  const s = await api('/v1/status');
  $('stato').textContent = s.stato_parola || '-';
  $('kora1').textContent = s.kora1_connesso ? 'connesso' : 'non connesso';
  $('stampa').textContent = s.in_stampa || '-';
  $('attesa').textContent = s.in_attesa === null || s.in_attesa === undefined ? '-' : String(s.in_attesa);
  const o = s.oggi || {};
  $('oggi').textContent = 'stampati ' + (o.stampati || 0) + ', rifiutati ' + (o.rifiutati || 0) +
    ', sconosciuti ' + (o.sconosciuti || 0) + ', non consegnati ' + (o.non_consegnati || 0);
  $('episodio').textContent = s.episodio ? s.episodio.titolo + ': ' + s.episodio.testo : '';
}

function showReceipts() {
  const body = $('scontrini');
  body.textContent = '';
  for (const e of receipts) {
    const tr = document.createElement('tr');
    const cells = [(e.time || '').slice(11), e.key || e.input, words[e.state] || e.state, e.receipt || '',
      e.state === 'printed' ? (e.total || '') : (e.reason || '')];
    cells.forEach((text, i) => {
      const td = document.createElement('td');
      td.textContent = text;
      if (i === 2) td.className = e.state;
      tr.appendChild(td);
    });
    body.appendChild(tr);
  }
}

function onEvent(type, data) {
  if (type === 'paper-out') {
    $('carta').textContent = 'CARTA ESAURITA O COPERCHIO APERTO' + (data.line ? ': ' + data.line : '');
    $('carta').hidden = false;
  } else if (type === 'paper-back') {
    $('carta').hidden = true;
  } else if (type === 'settled') {
    $('carta').hidden = true;
    receipts.unshift(data);
    receipts.length = Math.min(receipts.length, 20);
    showReceipts();
  }
  readStatus().catch(() => {});
}

function parseBlock(block) {
  let id = '', type = 'message', data = '';
  for (const line of block.split('\n')) {
    if (line.startsWith('id: ')) id = line.slice(4);
    else if (line.startsWith('event: ')) type = line.slice(7);
    else if (line.startsWith('data: ')) data += line.slice(6);
  }
  if (id) lastId = id;
  if (type === 'reset') readStatus().catch(() => {});
  else if (data) onEvent(type, JSON.parse(data));
}

// The browser's own event-stream reader cannot send a token: the stream is
// read with fetch, and resumed from the last id after a break.
async function follow() {
  following = true;
  while (token) {
    try {
      const headers = { Authorization: 'Bearer ' + token };
      if (lastId) headers['Last-Event-ID'] = lastId;
      const r = await fetch('/v1/events', { headers, cache: 'no-store' });
      if (r.status === 401 || r.status === 403) { signOut('Token non valido o senza il permesso "read".'); break; }
      $('linea').textContent = 'in linea';
      const reader = r.body.getReader();
      const decoder = new TextDecoder();
      let buffer = '';
      for (;;) {
        const { value, done } = await reader.read();
        if (done) break;
        buffer += decoder.decode(value, { stream: true });
        for (let at; (at = buffer.indexOf('\n\n')) >= 0; buffer = buffer.slice(at + 2)) parseBlock(buffer.slice(0, at));
      }
    } catch (e) { /* the door restarted or the network broke: try again */ }
    $('linea').textContent = 'non in linea, nuovo tentativo...';
    await new Promise((done) => setTimeout(done, 2000));
  }
  following = false;
}

function signOut(why) {
  token = '';
  sessionStorage.removeItem('dorvane-token');
  $('pannello').hidden = true;
  $('accesso').hidden = false;
  $('errore').textContent = why || '';
  $('linea').textContent = 'non in linea';
}

async function signIn() {
  try {
    await readStatus();
  } catch (e) {
    signOut(e.message === 'token' ? 'Token non valido o senza il permesso "read".' : 'DORVANE non risponde.');
    return;
  }
  $('accesso').hidden = true;
  $('pannello').hidden = false;
  if (!following) follow();
}

$('accesso').addEventListener('submit', (e) => {
  e.preventDefault();
  token = $('token').value.trim();
  $('token').value = '';
  sessionStorage.setItem('dorvane-token', token);
  signIn();
});
$('esci').addEventListener('click', () => signOut(''));
setInterval(() => { if (token) readStatus().catch(() => {}); }, 10000);
if (token) signIn();
)";

constexpr PageFile kFiles[] = {
    {"/", "text/html; charset=utf-8", kHtml},
    {"/dorvane.css", "text/css; charset=utf-8", kCss},
    {"/dorvane.js", "text/javascript; charset=utf-8", kJs},
};

}  // namespace

const PageFile* FindPageFile(std::string_view path) {
  for (const PageFile& f : kFiles)
    if (f.path == path) return &f;
  return nullptr;
}

}  // namespace dorvane::web
