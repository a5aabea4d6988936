#!/usr/bin/env python3
"""Checks the user manual against the program.

  check_manual.py SRC_DIR MANUAL_DIR [PDF]

The messages table of the manual (rows whose first cell is a code span in
MANUAL_DIR/05-messaggi.md) is the list of every text the program can show.
Without PDF: each text shown by the program (message boxes, result box, event
log, tray tips, error descriptions, read from SRC_DIR) must be in the list,
and each list entry must come from the program; the first start ("Al primo
avvio") must tell the file filter and timer a new installation shows, and
that the filter prints nothing until it is changed; the manual's table of
notifications ("Notifiche dell'icona": title, text, icon) must have the rows
of the program's (SRC_DIR/notify/notices.cpp), in the same order. With PDF:
the PDF's text must hold every chapter title and every list entry.
"""
import pathlib
import re
import subprocess
import sys

# Calls and lines through which a text reaches the user.
SINK = re.compile(r'\b(ShowMessage|AskYesNo|LogEvent|txtKora1Result\.Set|Status::Error|TrayModify|TrayAdd|'
                  r'ShowClosingNotice|cmdKora1Connection\.Show)\s*\(|^\s*(case [\w:]+|default):\s*return "')
# A literal continued on the next line, as the compiler joins them.
CONTINUED = re.compile(r'"[ \t]*\n\s*"')
LITERAL = re.compile(r'"((?:[^"\\\n]|\\.)*)"')
CONSTANT = re.compile(r'\b(k[A-Z]\w*)\s*=\s*"((?:[^"\\\n]|\\.)*)"')
PLACEHOLDER = re.compile(r'<[^<>]*>')
WORD = re.compile(r'[A-Za-z]{4}')


def decode(literal):
    """A C string literal's bytes, read as Windows-1252 like the program's texts."""
    out = bytearray()
    i = 0
    simple = {'n': 10, 'r': 13, 't': 9, '"': 34, '\\': 92, "'": 39, '0': 0}
    while i < len(literal):
        ch = literal[i]
        if ch == '\\' and i + 1 < len(literal):
            nxt = literal[i + 1]
            m = re.match(r'x([0-9A-Fa-f]{1,2})', literal[i + 1:])
            if m:
                out.append(int(m.group(1), 16))
                i += 1 + len(m.group(0))
                continue
            out.append(simple.get(nxt, ord(nxt)))
            i += 2
            continue
        out += ch.encode('utf-8')
        i += 1
    try:
        return out.decode('utf-8')
    except UnicodeDecodeError:
        return out.decode('cp1252')


def squeeze(text):
    return ' '.join(text.split())


def program_texts(src):
    """(every literal of the program, the literals that reach the user)."""
    files = [p for p in sorted(pathlib.Path(src).rglob('*')) if p.suffix in ('.cpp', '.h')]
    constants, every, shown, names = {}, set(), set(), set()
    for path in files:
        for line in CONTINUED.sub('', path.read_text(encoding='latin-1')).splitlines():
            if line.lstrip().startswith('#include'):
                continue
            for m in CONSTANT.finditer(line):
                constants[m.group(1)] = decode(m.group(2))
            literals = [decode(m.group(1)) for m in LITERAL.finditer(line)]
            every.update(literals)
            if SINK.search(line):
                shown.update(literals)
                names.update(re.findall(r'\bk[A-Z]\w*', line))
    shown.update(constants[n] for n in names if n in constants)
    return every, {squeeze(t) for t in shown if WORD.search(t)}


# A row of the notifications table in notices.cpp, and the icons' words.
NOTICE_ROW = re.compile(r'\{E::(\w+),\s*P::(\w+),\s*I::(\w+),\s*"((?:[^"\\]|\\.)*)",\s*"((?:[^"\\]|\\.)*)"\}')
ICON_WORDS = {'kInfo': 'informazione', 'kWarning': 'avviso', 'kError': 'errore'}
NOTICES_TITLE = "## Notifiche dell'icona"


def program_notices(src):
    text = (pathlib.Path(src) / 'notify' / 'notices.cpp').read_text(encoding='latin-1')
    return [(decode(title), decode(body), ICON_WORDS.get(icon, icon)) for _, _, icon, title, body in NOTICE_ROW.findall(text)]


def manual_notices(manual):
    text = (manual / '05-messaggi.md').read_text(encoding='utf-8')
    if NOTICES_TITLE not in text:
        return []
    section = text.split(NOTICES_TITLE, 1)[1].split('\n## ', 1)[0]
    row = re.compile(r'^\|\s*`([^`]+)`\s*\|\s*`([^`]+)`\s*\|\s*([^|]*?)\s*\|', re.M)
    return [m.groups() for m in row.finditer(section)]


def manual_messages(manual):
    rows = (manual / '05-messaggi.md').read_text(encoding='utf-8').splitlines()
    return [m.group(1) for m in (re.match(r'\|\s*`([^`]+)`\s*\|', r) for r in rows) if m]


# The design values of the window's boxes, which a first start shows.
DESIGN_TEXT = re.compile(r'^\s*(\w+)\.Text\s*=\s*"((?:[^"\\\n]|\\.)*)";', re.M)


def design_texts(src):
    text = (pathlib.Path(src) / 'dispatch' / 'controls.cpp').read_text(encoding='latin-1')
    return {name: decode(value) for name, value in DESIGN_TEXT.findall(text)}


def section(manual, title):
    """The text under a "## title" heading, up to the next heading of its level or above."""
    for md in sorted(manual.glob('*.md')):
        m = re.search(r'^## ' + re.escape(title) + r'[ \t]*\n(.*?)(?=^#{1,2} |\Z)',
                      md.read_text(encoding='utf-8'), re.M | re.S)
        if m:
            return m.group(1)
    return ''


def first_start_failures(src, manual):
    """A new installation's filter matches no receipt: the first start must say so."""
    design = design_texts(src)
    first = squeeze(section(manual, 'Al primo avvio'))
    failures = []
    if not first:
        return ['no section "Al primo avvio" in the manual']
    filt, timer = design.get('txtFileFilter', ''), design.get('txtTimerVal', '')
    if not filt or not timer:
        return ['the design values of txtFileFilter and txtTimerVal are not in dispatch/controls.cpp']
    if f'`{filt}`' not in first and f'"{filt}"' not in first:
        failures.append(f'"Al primo avvio" does not name the filter a new installation shows: {filt}')
    if f'"{timer}"' not in first:
        failures.append(f'"Al primo avvio" does not name the timer value a new installation shows: "{timer}"')
    if 'non stampa nulla' not in first:
        failures.append(f'"Al primo avvio" does not say that nothing prints with the filter {filt}')
    examples = set(re.findall(r'`(\*\.[^`]+)`', first)) - {filt}
    if not examples:
        failures.append('"Al primo avvio" gives no example filter for the management program\'s extension')
    return failures


def chapter_titles(manual):
    titles = []
    for md in sorted(manual.glob('*.md')):
        titles += re.findall(r'^# (.+)$', md.read_text(encoding='utf-8'), re.M)
    return titles


def main():
    src, manual = sys.argv[1], pathlib.Path(sys.argv[2])
    messages = manual_messages(manual)
    failures = []
    if len(messages) < 20:
        failures.append(f'only {len(messages)} messages found in the messages table')

    if len(sys.argv) == 3:
        every, shown = program_texts(src)
        every = [squeeze(t) for t in every]
        for msg in messages:
            for fragment in (squeeze(f) for f in PLACEHOLDER.split(msg)):
                if WORD.search(fragment) and not any(fragment in t for t in every):
                    failures.append(f'listed in the manual but not in the program: "{fragment}" (from "{msg}")')
        listed = [squeeze(m) for m in messages]
        for text in sorted(shown):
            if not any(text in m for m in listed):
                failures.append(f'shown by the program but missing from the messages table: "{text}"')
        failures += first_start_failures(src, manual)
        in_program, in_manual = program_notices(src), manual_notices(manual)
        if len(in_program) < 10:
            failures.append(f'only {len(in_program)} notifications found in notify/notices.cpp')
        for row in in_program:
            if row not in in_manual:
                failures.append(f'notification of the program missing from the manual\'s table: {row}')
        for row in in_manual:
            if row not in in_program:
                failures.append(f'notification in the manual\'s table but not in the program: {row}')
        if not failures and in_program != in_manual:
            failures.append('the manual\'s table of notifications has the program\'s rows in another order')
    else:
        # -raw keeps the order in which the text was laid out, so that a table
        # cell's lines stay together.
        pdf_text = subprocess.run(['pdftotext', '-raw', '-enc', 'UTF-8', sys.argv[3], '-'], check=True,
                                  capture_output=True, text=True).stdout
        for a, b in (('\u2019', "'"), ('\u2026', '...'), ('\ufb01', 'fi'), ('\ufb02', 'fl'), ('\u00a0', ' ')):
            pdf_text = pdf_text.replace(a, b)
        # Lines also break after "/" and "-": compare without any blanks.
        def bare(text):
            return ''.join(text.split())
        pdf_text = bare(pdf_text)
        for title in chapter_titles(manual):
            if bare(title) not in pdf_text:
                failures.append(f'chapter title missing from the PDF: "{title}"')
        for msg in messages:
            if bare(msg) not in pdf_text:
                failures.append(f'message missing from the PDF: "{msg}"')

    for f in failures:
        print(f, file=sys.stderr)
    print(f'{len(messages)} messages, {len(chapter_titles(manual))} chapters: '
          f'{"FAILED" if failures else "ok"}')
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main())
