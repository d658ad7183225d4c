#!/usr/bin/env python3
"""Office and PDF documents for the compression corpora, made from the text of manual pages.

gen-documents.py OUT MAN-FOLDER
  OUT/pdf/*.pdf       PDF 1.4: Flate-compressed page streams, some pages with a JPEG photo
  OUT/office/*.docx   WordprocessingML in a zip (deflated), as word processors write them
  OUT/office/*.odt    OpenDocument text in a zip (the mimetype stored first)
The photos come from ImageMagick (`convert`), with fixed seeds; everything is deterministic.
"""
import gzip, os, random, re, subprocess, sys, zipfile, zlib
from xml.sax.saxutils import escape

out, man = sys.argv[1], sys.argv[2]
rnd = random.Random(13)
os.makedirs(os.path.join(out, 'pdf'), exist_ok=True)
os.makedirs(os.path.join(out, 'office'), exist_ok=True)


def man_texts(limit_bytes):
    """Plain text of manual pages (troff requests dropped), up to limit_bytes in all."""
    pages, used = [], 0
    for folder in ('man1', 'man3', 'man5', 'man8', 'man7'):
        path = os.path.join(man, folder)
        if not os.path.isdir(path):
            continue
        for name in sorted(os.listdir(path)):
            if not name.endswith('.gz'):
                continue
            try:
                raw = gzip.open(os.path.join(path, name)).read().decode('utf-8', 'replace')
            except OSError:
                continue
            lines = []
            for line in raw.splitlines():
                if line.startswith(('.\\"', "'\\\"")):
                    continue
                line = re.sub(r'^\.[A-Za-z]+ ?', '', line)
                line = re.sub(r'\\f[BIRP]|\\-|\\\(..|\\&|\\e', '', line)
                if line.strip():
                    lines.append(line)
            if len(lines) < 20:
                continue
            pages.append((name[:-3], lines))
            used += sum(len(l) + 1 for l in lines)
            if used > limit_bytes:
                return pages
    return pages


def photo(seed):
    return subprocess.run(['convert', '-seed', str(seed), '-size', '640x480', 'plasma:fractal',
                           '-quality', '85', 'jpg:-'], check=True, capture_output=True).stdout


def pdf(title, lines, jpeg):
    objs = []
    def add(body):
        objs.append(body)
        return len(objs)
    catalog = add(None)
    pages_id = add(None)
    font = add(b'<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>')
    image = None
    if jpeg:
        image = add(b'<< /Type /XObject /Subtype /Image /Width 640 /Height 480 /ColorSpace '
                    b'/DeviceRGB /BitsPerComponent 8 /Filter /DCTDecode /Length %d >>\nstream\n'
                    % len(jpeg) + jpeg + b'\nendstream')
    kids = []
    per_page = 52
    for start in range(0, len(lines), per_page):
        ops = ['BT /F1 10 Tf 12 TL 56 780 Td']
        if start == 0:
            ops.append('/F1 16 Tf (%s) Tj T* T* /F1 10 Tf' % title)
        for line in lines[start:start + per_page]:
            text = line.replace('\\', '\\\\').replace('(', '\\(').replace(')', '\\)')
            ops.append('(%s) Tj T*' % text[:95])
        ops.append('ET')
        if image and start == 0:
            ops.append('q 240 0 0 180 300 40 cm /Im1 Do Q')
        stream = zlib.compress('\n'.join(ops).encode('latin-1', 'replace'), 6)
        content = add(b'<< /Length %d /Filter /FlateDecode >>\nstream\n' % len(stream) + stream +
                      b'\nendstream')
        res = b'<< /Font << /F1 %d 0 R >>' % font
        if image:
            res += b' /XObject << /Im1 %d 0 R >>' % image
        res += b' >>'
        kids.append(add(b'<< /Type /Page /Parent %d 0 R /MediaBox [0 0 595 842] /Resources %s '
                        b'/Contents %d 0 R >>' % (pages_id, res, content)))
    objs[catalog - 1] = b'<< /Type /Catalog /Pages %d 0 R >>' % pages_id
    objs[pages_id - 1] = (b'<< /Type /Pages /Kids [%s] /Count %d >>' %
                          (b' '.join(b'%d 0 R' % k for k in kids), len(kids)))
    info = add(b'<< /Title (%s) /Producer (gen-documents) >>' % title.encode())
    data = bytearray(b'%PDF-1.4\n%\xe2\xe3\xcf\xd3\n')
    offsets = []
    for i, body in enumerate(objs, 1):
        offsets.append(len(data))
        data += b'%d 0 obj\n' % i + body + b'\nendobj\n'
    xref = len(data)
    data += b'xref\n0 %d\n0000000000 65535 f \n' % (len(objs) + 1)
    for off in offsets:
        data += b'%010d 00000 n \n' % off
    data += (b'trailer\n<< /Size %d /Root %d 0 R /Info %d 0 R >>\nstartxref\n%d\n%%%%EOF\n' %
             (len(objs) + 1, catalog, info, xref))
    return bytes(data)


def docx(path, title, lines):
    paras = ''.join('<w:p><w:pPr><w:pStyle w:val="%s"/></w:pPr><w:r><w:t xml:space="preserve">%s'
                    '</w:t></w:r></w:p>' % ('Heading1' if i == 0 else 'Normal', escape(l))
                    for i, l in enumerate([title] + lines))
    doc = ('<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n<w:document xmlns:w="http://'
           'schemas.openxmlformats.org/wordprocessingml/2006/main"><w:body>%s<w:sectPr><w:pgSz '
           'w:w="11906" w:h="16838"/></w:sectPr></w:body></w:document>' % paras)
    types = ('<?xml version="1.0" encoding="UTF-8"?><Types xmlns="http://schemas.openxmlformats.org'
             '/package/2006/content-types"><Default Extension="xml" ContentType="application/xml"/>'
             '<Override PartName="/word/document.xml" ContentType="application/vnd.openxmlformats-'
             'officedocument.wordprocessingml.document.main+xml"/></Types>')
    with zipfile.ZipFile(path, 'w', zipfile.ZIP_DEFLATED) as z:
        z.writestr('[Content_Types].xml', types)
        z.writestr('word/document.xml', doc)
        z.writestr('docProps/core.xml', '<?xml version="1.0"?><cp:coreProperties xmlns:cp="cp">'
                   '<dc:title xmlns:dc="dc">%s</dc:title></cp:coreProperties>' % escape(title))


def odt(path, title, lines):
    body = ''.join('<text:p text:style-name="P1">%s</text:p>' % escape(l) for l in lines)
    content = ('<?xml version="1.0" encoding="UTF-8"?><office:document-content xmlns:office="urn:'
               'oasis:names:tc:opendocument:xmlns:office:1.0" xmlns:text="urn:oasis:names:tc:'
               'opendocument:xmlns:text:1.0"><office:body><office:text><text:h>%s</text:h>%s'
               '</office:text></office:body></office:document-content>' % (escape(title), body))
    with zipfile.ZipFile(path, 'w', zipfile.ZIP_DEFLATED) as z:
        z.writestr(zipfile.ZipInfo('mimetype'), 'application/vnd.oasis.opendocument.text',
                   compress_type=zipfile.ZIP_STORED)
        z.writestr('content.xml', content)
        z.writestr('META-INF/manifest.xml', '<?xml version="1.0"?><manifest:manifest xmlns:'
                   'manifest="urn:oasis:names:tc:opendocument:xmlns:manifest:1.0"/>')


pages = man_texts(40 * 1000 * 1000)
photos = [photo(seed) for seed in range(24)]
for i, (title, lines) in enumerate(pages):
    kind = i % 4
    if kind in (0, 1):
        jpeg = photos[(i // 40) % len(photos)] if i % 40 == 0 else None
        with open(os.path.join(out, 'pdf', title + '.pdf'), 'wb') as f:
            f.write(pdf(title, lines, jpeg))
    elif kind == 2:
        docx(os.path.join(out, 'office', title + '.docx'), title, lines)
    else:
        odt(os.path.join(out, 'office', title + '.odt'), title, lines)
