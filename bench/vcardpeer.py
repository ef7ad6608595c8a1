#!/usr/bin/python3
# The peer of vandrel-vcardbench: python3-vobject doing the work the program does, with one
# file written to a temporary name and renamed per card, as the program writes.
#
#   vcardpeer.py import <cards.vcf> <empty folder> <runs> [warm-ups=1]
#   vcardpeer.py export <folder of records> <empty folder> <runs> [warm-ups=1]
#
# Untimed runs to warm the caches, then <runs> timed ones with the folder emptied between them
# off the clock; prints "best <ms> median <ms> files <n>".
import os
import shutil
import sys
import time

import vobject

FORBIDDEN = set('\\/:*?<>|')


def empty(folder):
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)


def write_replacing(path, data):
    tmp = os.path.join(os.path.dirname(path), '.' + os.path.basename(path) + '.tmp')
    with open(tmp, 'wb') as f:
        f.write(data)
    os.replace(tmp, path)


def record_text(card):
    c = card.contents
    data, sections = [], []
    fields = {'cell': 'Hand', 'work': 'OPh1', 'home': 'HPh1', 'fax': 'OFax'}
    for tel in c.get('tel', []):
        types = [t.lower() for t in tel.params.get('TYPE', [])]
        for kind, key in fields.items():
            if kind in types:
                data.append(key + '=' + tel.value)
                break
    for key, prop in (('EMail', 'email'), ('MUrl', 'url'), ('OCls', 'title')):
        if prop in c:
            data.append(key + '=' + c[prop][0].value)
    if 'org' in c:
        data.append('ONme=' + c['org'][0].value[0])
    if 'note' in c:
        lines = c['note'][0].value.split('\n')
        sections.append(['[Memo]', 'many=%d' % len(lines)]
                        + ['%d=%s' % (i + 1, l) for i, l in enumerate(lines)])
    for adr in c.get('adr', []):
        a = adr.value
        lines = [' '.join(p for p in (a.region, a.city, a.street) if p)]
        key = 'OAdd' if 'WORK' in adr.params.get('TYPE', []) else 'HAdd'
        sections.append(['[' + key + ']', 'many=%d' % len(lines)]
                        + ['%d=%s' % (i + 1, l) for i, l in enumerate(lines)])
    out = ['[data]'] + data
    for s in sections:
        out += s
    return ('\r\n'.join(out) + '\r\n').encode('utf-8')


def do_import(src, folder):
    used = set()
    n = 0
    with open(src, encoding='utf-8') as f:
        text = f.read()
    for card in vobject.readComponents(text):
        name = card.fn.value if 'fn' in card.contents else 'card'
        name = ''.join('_' if ch in FORBIDDEN else ch for ch in name).strip() or 'card'
        base, k = name, 1
        while name.lower() in used:
            name = '%s_%02d' % (base, k)
            k += 1
        used.add(name.lower())
        write_replacing(os.path.join(folder, name + '.txt'), record_text(card))
        n += 1
    return n


def read_record(path):
    raw = open(path, 'rb').read()
    try:
        text = raw.decode('utf-8')
    except UnicodeDecodeError:
        text = raw.decode('cp949')
    sections, current = {}, None
    for line in text.splitlines():
        if line.startswith('[') and line.endswith(']'):
            current = sections.setdefault(line[1:-1], {})
        elif '=' in line and current is not None:
            key, value = line.split('=', 1)
            current.setdefault(key, value)
    return sections


def lines_of(section):
    return [section.get(str(i + 1), '') for i in range(int(section.get('many', '0')))]


def do_export(src, folder):
    n = 0
    for name in sorted(os.listdir(src)):
        if not name.endswith('.txt'):
            continue
        r = read_record(os.path.join(src, name))
        d = r.get('data', {})
        card = vobject.vCard()
        card.add('fn').value = name[:-4]
        card.add('n').value = vobject.vcard.Name(family=name[:-4])
        uid = r.get('Vandrel', {}).get('UID', name)
        card.add('uid').value = uid
        for key, kind, code in (('Hand', 'CELL', None), ('OPh1', 'WORK', 'ODDD'),
                                ('OPh2', 'WORK', 'ODDD'), ('OFax', 'FAX', 'ODDD'),
                                ('HPh1', 'HOME', 'HDDD')):
            if key in d:
                t = card.add('tel')
                t.value = (d[code] + '-' if code and code in d else '') + d[key]
                t.type_param = kind
        for key, prop in (('EMail', 'email'), ('MUrl', 'url'), ('OCls', 'title')):
            if key in d:
                card.add(prop).value = d[key]
        if 'ONme' in d:
            card.add('org').value = [d['ONme']]
        if 'Memo' in r:
            card.add('note').value = '\n'.join(lines_of(r['Memo']))
        for key, kind in (('OAdd', 'WORK'), ('HAdd', 'HOME')):
            if key in r:
                a = card.add('adr')
                a.value = vobject.vcard.Address(street='\n'.join(lines_of(r[key])))
                a.type_param = kind
        file = ''.join(ch if ch.isalnum() or ch in '-_.' else '_' for ch in uid) + '.vcf'
        write_replacing(os.path.join(folder, file), card.serialize().encode('utf-8'))
        n += 1
    return n


def main():
    mode, src, folder, runs = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4])
    warm = int(sys.argv[5]) if len(sys.argv) > 5 else 1
    work = do_import if mode == 'import' else do_export
    times = []
    files = 0
    for i in range(runs + warm):
        empty(folder)
        start = time.perf_counter()
        files = work(src, folder)
        if i >= warm:
            times.append((time.perf_counter() - start) * 1000)
    times.sort()
    print('best %.1f median %.1f files %d' % (times[0], times[len(times) // 2], files))


main()
