#!/usr/bin/env python3
"""The CSV export opened by a real spreadsheet: LibreOffice Calc, headless,
imports it with exactly the options the manual gives (Italian, ";", quoted
fields as text, special numbers detected, no column types) and saves it as
a flat OpenDocument sheet; every cell is then compared with the ledger's
own record: identifiers text equal to the ledger's, amounts and counts
numbers, stamps dates, no formula anywhere.

  spreadsheet_test.py TOOL FIXTURE WORK
"""
import json
import shutil
import subprocess
import sys
import xml.etree.ElementTree as ET
from pathlib import Path

# The manual's import options, as LibreOffice's filter string: field
# separator ";" (59), text delimiter '"' (34), UTF-8 (76), from line 1, no
# column types, Italian (1040), quoted field as text, detect special numbers.
FILTER = 'CSV:59,34,76,1,,1040,true,true'

tool, fixture, work = sys.argv[1], sys.argv[2], Path(sys.argv[3])
failures = []
shutil.rmtree(work, ignore_errors=True)
ledger = work / 'ledger'
ledger.mkdir(parents=True)
subprocess.run([fixture, str(ledger)], check=True)
csv_file = work / 'registro.csv'
subprocess.run([tool, 'export', '--dir', str(ledger), '--out', str(csv_file)], check=True, capture_output=True)
records = [json.loads(l) for l in subprocess.run([tool, 'export', '--dir', str(ledger), '--format', 'jsonl'],
                                                  check=True, capture_output=True).stdout.decode().splitlines()]

soffice = shutil.which('soffice') or shutil.which('libreoffice')
if not soffice:
    sys.exit('LibreOffice Calc is needed: scripts/deps.sh spreadsheet')
subprocess.run([soffice, f'-env:UserInstallation=file://{work}/profile', '--headless', '--infilter=' + FILTER,
                '--convert-to', 'fods', '--outdir', str(work), str(csv_file)], check=True, capture_output=True,
               timeout=120)

NS = {'table': 'urn:oasis:names:tc:opendocument:xmlns:table:1.0',
      'office': 'urn:oasis:names:tc:opendocument:xmlns:office:1.0',
      'text': 'urn:oasis:names:tc:opendocument:xmlns:text:1.0'}
q = lambda prefix, name: '{%s}%s' % (NS[prefix], name)


def cells(row):
    for cell in row.findall('table:table-cell', NS):
        repeat = int(cell.get(q('table', 'number-columns-repeated'), '1'))
        if cell.get(q('table', 'formula')):
            failures.append(f'a formula: {cell.get(q("table", "formula"))}')
        kind = cell.get(q('office', 'value-type'))
        if kind == 'float':
            value = float(cell.get(q('office', 'value')))
        elif kind == 'date':
            value = cell.get(q('office', 'date-value'))
            value += 'T00:00:00' if len(value) == 10 else ''  # midnight is written as the day alone
        else:
            value = '\n'.join(''.join(p.itertext()) for p in cell.findall('text:p', NS))
        for _ in range(min(repeat, 50)):
            yield kind, value


sheet = ET.parse(work / 'registro.fods').getroot().find('.//table:table', NS)
rows = [list(cells(r)) for r in sheet.findall('.//table:table-row', NS)]
header = [v for _, v in rows[0]]
rows = [r for r in rows[1:] if any(v != '' for _, v in r)]
if len(rows) != len(records):
    failures.append(f'{len(rows)} rows for {len(records)} records')


def inert(text):
    return "'" + text if text[:1] in ('=', '+', '-', '@') else text


def amount(text):
    return float(text.replace('.', '').replace(',', '.'))


for row, rec in zip(rows, records):
    got = dict(zip(header, row))
    texts = {'Esito': rec['esito'], 'Motivo': rec.get('motivo', ''), 'Input': rec['input'],
             'Cartella': rec['cartella'], 'SHA-256 input': rec['sha256'], 'Tracciato': rec.get('tracciato', ''),
             'FNV-1a dati': rec.get('dati_fnv1a', ''), 'Scontrino': rec.get('scontrino', ''),
             'Archiviato come': ' | '.join(rec['archiviato']), 'Risposta di KORA1': rec.get('risposta', ''),
             'Ripreso': 'sì' if rec['ripreso'] else 'no', 'Copie conservate': ' | '.join(rec.get('copie', []))}
    numbers = {'N.': rec['n'], 'Byte input': rec['byte'], 'Byte dati': rec.get('dati_byte', 0)}
    if rec.get('totale', '') not in ('', 'N/D'):
        numbers['Totale'] = amount(rec['totale'])
    dates = {'Chiuso': rec['chiuso'].replace(' ', 'T'), 'Preso': rec['preso'].replace(' ', 'T')}
    for column, want in texts.items():
        kind, value = got[column]
        want = inert(want).replace('\r\n', '\n')
        if (kind not in ('string', None)) or value != want:
            failures.append(f'n. {rec["n"]} {column}: {kind} {value!r}, the ledger has {want!r}')
    for column, want in numbers.items():
        if got[column] != ('float', float(want)):
            failures.append(f'n. {rec["n"]} {column}: {got[column]}, the ledger has {want}')
    for column, want in dates.items():
        if got[column] != ('date', want):
            failures.append(f'n. {rec["n"]} {column}: {got[column]}, the ledger has {want}')

# The fixture's identifiers that a spreadsheet would take for numbers.
seen = {v for r in rows for _, v in r}
for tricky in ('04968280', '7459e389', '1e500000', '00000012', '0044'):
    if tricky not in seen:
        failures.append(f'{tricky} is not a text cell')

for f in failures:
    print(f, file=sys.stderr)
print(f'{"FAILED" if failures else "ok"}: {len(rows)} rows, {len(failures)} failures')
sys.exit(1 if failures else 0)
