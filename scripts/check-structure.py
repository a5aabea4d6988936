#!/usr/bin/env python3
"""Checks the shape of the source tree.

  check-structure.py [ROOT]

Layers: each folder of src/ is a layer, and includes run down the levels of
LEVEL only; the folders of APART include none of each other (but for
SIDEWAYS); a platform port includes none of its implementations; the tools
use nothing of the program above the engine (NOT_FOR_TOOLS).
Cycles: no files of src/ and tools/ include each other, even through others.
Length: no function in src/driverlink/ is longer than MAX_LINES lines, from
the line of its name to the line of its closing brace.

Prints one line per problem and exits 1, or a summary and exits 0. ROOT is
the repository the script lives in unless given.
"""
import os
import pathlib
import re
import sys

# Lowest first: a folder includes only its own level and the ones below.
LEVEL = {'text': 0, 'platform': 0, 'convert': 1, 'driverlink': 2, 'ledger': 3, 'notify': 3, 'web': 3,
         'dispatch': 4, 'settings': 4, 'ui': 5, 'app': 5}
# Each of these stands on the engine alone, so that any of them can go.
APART = {'ledger', 'notify', 'web'}
# Includes among them known and let be, as (including folder, included folder).
SIDEWAYS = set()
PLATFORM_IMPLEMENTATIONS = {'posix', 'win32', 'sim'}
# The command-line tools run without the window program around the engine.
NOT_FOR_TOOLS = {'dispatch', 'settings', 'ui', 'app'}
MAX_LINES = 60
SOURCE_SUFFIXES = {'.h', '.hh', '.hpp', '.inl', '.c', '.cc', '.cpp', '.cxx'}

INCLUDE = re.compile(r'^[ \t]*#[ \t]*include[ \t]*"([^"\n]+)"', re.M)
DIRECTIVE = re.compile(r'^[ \t]*#(?:[^\n]*\\\n)*[^\n]*', re.M)
RAW_PREFIX = re.compile(r'(?:^|\W)(?:u8|[uUL])?R$')
RAW_STRING = re.compile(r'"([^()\\\s]{0,16})\(.*?\)\1"', re.S)
NUMBER = re.compile(r"\d(?:[eEpP][+-]|[\w.'])*")  # with its digit separators, which are no char literals
NAMESPACE = re.compile(r'\s*(?:inline\s+)?namespace\b|\s*extern\s*"')
CLASS = re.compile(r'\s*(?:template\s*<.*>\s*)?(class|struct|union|enum)\b(?:\s+(?:class|struct)\b)?'
                   r'(?:\s*\[\[.*?\]\])?\s*(\w+)?', re.S)
ACCESS_LABEL = re.compile(r'[\w\s]*\b(?:public|protected|private|signals|slots|Q_SIGNALS|Q_SLOTS)\s*$')
QUALIFIER = re.compile(r'(?:\b(?:const|volatile|override|final|noexcept|mutable|try)|&&?)\s*$')
NAME = re.compile(r'(?<![\w:~])((?:[A-Za-z_]\w*(?:<[^<>()]*>)?\s*::\s*)*(?:~\s*)?'
                  r'(?:operator\s*(?:\(\s*\)|\[\s*\]|[^\w\s(]+|\w[\w\s:*&<>]*)|[A-Za-z_]\w*))\s*$')
NOT_NAMES = {'if', 'for', 'while', 'switch', 'catch', 'return', 'sizeof', 'alignof', 'alignas', 'decltype',
             'static_assert', 'noexcept', 'throw', 'requires'}


def strip(text, strings=True):
    """text with its comments blanked, and the insides of its literals if strings; offsets and lines kept."""
    out, i, n = list(text), 0, len(text)

    def blank(a, b):
        out[a:b] = [c if c == '\n' else ' ' for c in text[a:b]]

    while i < n:
        c, j = text[i], i + 1
        if text.startswith('//', i) or text.startswith('/*', i):
            end = '\n' if text[i + 1] == '/' else '*/'
            j = text.find(end, i + 2)
            j = n if j < 0 else j if end == '\n' else j + 2
            blank(i, j)
        elif c in '"\'':
            raw = c == '"' and RAW_PREFIX.search(text, max(0, i - 4), i) and RAW_STRING.match(text, i)
            if raw:
                j = raw.end()
            else:
                while j < n and text[j] not in (c, '\n'):
                    j += 2 if text[j] == '\\' else 1
                j += 1
            if strings:
                blank(i + 1, j - 1)
        elif c.isdigit() and not (text[i - 1:i].isalnum() or text[i - 1:i] == '_'):
            j = NUMBER.match(text, i).end()
        i = j
    return ''.join(out)


def matching(code, i, step=1):
    """Index of the bracket that closes (step 1) or opens (step -1) the one at i; None if there is none."""
    opener, closer = '{}' if code[i] in '{}' else '()'
    depth = 0
    while 0 <= i < len(code):
        depth += (code[i] == opener) - (code[i] == closer)
        if depth == 0:
            return i
        i += step
    return None


def top_level(h, token):
    """Index of token in h outside any brackets (a lone colon, an arrow of no operator), or None."""
    depth = 0
    for i, c in enumerate(h):
        depth += (c in '([{') - (c in ')]}')
        if depth or not h.startswith(token, i):
            continue
        if token == ':' and ':' not in h[i - 1:i] + h[i + 1:i + 2]:
            return i
        if token == '->' and not re.search(r'operator\s*$', h[:i]):
            return i
    return None


def function_name(header):
    """The match of the name a function definition's header gives, or None if the brace opens no function."""
    h = header
    colon = top_level(h, ':')
    if colon is not None:  # a constructor's member initialisers, each complete before the body
        if not h[colon + 1:].rstrip().endswith((')', '}')):
            return None
        h = h[:colon]
    arrow = top_level(h, '->')
    h = (h if arrow is None else h[:arrow]).rstrip()
    while h.endswith(')') or QUALIFIER.search(h):
        if not h.endswith(')'):
            h = h[:QUALIFIER.search(h).start()].rstrip()
            continue
        before = h[:matching(h, len(h) - 1, -1) or 0]
        if re.search(r'\b(?:noexcept|throw)\s*$', before):
            h = re.sub(r'\b(?:noexcept|throw)\s*$', '', before).rstrip()
            continue
        m = NAME.search(before)
        return m if m and re.split(r'\W+', m.group(1))[-1] not in NOT_NAMES else None
    return None


def functions(code):
    """(name, line of the name, line of the closing brace) of each function body in code."""
    found, scopes, start, parens, i = [], [], 0, 0, 0
    while i < len(code):
        c = code[i]
        parens += (c == '(') - (c == ')')
        if parens or c not in ';:{}':
            pass
        elif c == ';' or (c == ':' and ACCESS_LABEL.match(code, start, i) and code[i + 1:i + 2] != ':'):
            start = i + 1
        elif c == '}':
            scopes = scopes[:-1]
            start = i + 1
        elif c == '{':
            header, kind = code[start:i], CLASS.match(code, start, i)
            name = function_name(header)
            if NAMESPACE.match(header) or (kind and kind.group(1) != 'enum'):
                scopes.append(kind.group(2) if kind else None)  # only classes qualify the names within
                start = i + 1
            elif name and not kind:
                end = matching(code, i) or len(code) - 1
                spelt = re.sub(r'\s*::\s*', '::', ' '.join(name.group(1).split()))
                qualified = '::'.join([s for s in scopes if s] + [spelt])
                found.append((qualified, code.count('\n', 0, start + name.start(1)) + 1, code.count('\n', 0, end) + 1))
                i, start = end, end + 1
            else:  # an enumeration or an initialiser: part of the declaration around it
                i = matching(code, i) or len(code)
        i += 1
    return found


def implementation(rel):
    parts = rel.split('/')
    return len(parts) > 3 and parts[1] == 'platform' and parts[2] in PLATFORM_IMPLEMENTATIONS


def layer(rel):
    parts = rel.split('/')
    return parts[1] if parts[0] == 'src' and len(parts) > 2 else None


def include_problems(rel, line, name, target):
    """What is wrong with file rel including name (found at target, or None)."""
    first = name.split('/')[0] if '/' in name else None
    into = layer(target) if target else first if first in LEVEL else None
    where = f'{rel}:{line}: includes "{name}":'
    if rel.startswith('tools/'):
        return [f'{where} the tools may not include {into}'] if into in NOT_FOR_TOOLS else []
    if target and target.startswith('tools/'):
        return [f'{where} src may not include the tools']
    frm = layer(rel)
    if frm not in LEVEL or into not in LEVEL:
        return []
    if LEVEL[frm] < LEVEL[into]:
        return [f'{where} {frm} (level {LEVEL[frm]}) may not include {into} (level {LEVEL[into]})']
    if frm != into and {frm, into} <= APART and (frm, into) not in SIDEWAYS:
        return [f'{where} {frm} and {into} stand apart']
    if frm == into == 'platform' and target and not implementation(rel) and implementation(target):
        return [f'{where} a port may not include an implementation']
    return []


def cycles(graph):
    """Each set of files that include each other, directly or through others, sorted."""
    reach = {}
    for v in graph:
        seen, todo = set(), [v]
        while todo:
            new = graph[todo.pop()] - seen
            seen |= new
            todo += new
        reach[v] = seen
    return sorted({tuple(sorted(w for w in reach[v] if v in reach[w])) for v in graph if v in reach[v]})


def resolve(name, rel, files):
    """The file an include of name in rel reads: from src/, from rel's own folder, or from tools/."""
    for base in ('src', os.path.dirname(rel), 'tools'):
        candidate = os.path.normpath(os.path.join(base, name)).replace(os.sep, '/')
        if candidate in files:
            return candidate
    return None


def code_of(text):
    """text with comments, literals and directives blanked: directives hold no braces of the code's own."""
    return DIRECTIVE.sub(lambda m: re.sub(r'[^\n]', ' ', m.group()), strip(text))


def main():
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).resolve().parent.parent)
    if not (root / 'src').is_dir():
        sys.exit(f'structure: no src/ folder in {root}')
    files = {p.relative_to(root).as_posix(): p.read_text(encoding='utf-8', errors='replace')
             for top in ('src', 'tools') if (root / top).is_dir()
             for p in sorted((root / top).rglob('*')) if p.suffix in SOURCE_SUFFIXES and p.is_file()}
    problems, graph = [], {rel: set() for rel in files}
    for outside in sorted({rel.split('/')[1] for rel in files if rel.startswith('src/')} - set(LEVEL)):
        problems.append(f'src/{outside}: not placed among the layers')
    for rel, text in files.items():
        plain = strip(text, strings=False)
        for m in INCLUDE.finditer(plain):
            target = resolve(m.group(1), rel, files)
            graph[rel] |= {target} - {None}
            problems += include_problems(rel, plain.count('\n', 0, m.start()) + 1, m.group(1), target)
    problems += ['include cycle: ' + ', '.join(group) for group in cycles(graph)]
    for rel, text in files.items():
        for name, first, last in functions(code_of(text)) if rel.startswith('src/driverlink/') else []:
            if last - first + 1 > MAX_LINES:
                problems.append(f'{rel}:{first}: {name} is {last - first + 1} lines (at most {MAX_LINES})')
    for problem in problems:
        print(problem)
    print(f'structure: {len(files)} files, {len(problems)} problems')
    return 1 if problems else 0


if __name__ == '__main__':
    sys.exit(main())
