#!/usr/bin/env python3
"""Logs, tables and a database for the compression corpora, generated with a fixed seed.

gen-logs.py OUT
  OUT/www/access.log.N    web server logs (combined format), ten days
  OUT/sys/syslog.N        system logs: daemons, kernel, cron, with pids and counters
  OUT/metrics/*.csv       tables of measurements (timestamps, floats, counters)
  OUT/events.jsonl        application events as JSON lines
  OUT/inventory.sqlite    a SQLite database (tables with an index)
"""
import json, os, random, sqlite3, sys

out = sys.argv[1]
rnd = random.Random(7)
for d in ('www', 'sys', 'metrics'):
    os.makedirs(os.path.join(out, d), exist_ok=True)

paths = ['/', '/index.html', '/css/site.css', '/js/app.js', '/api/v1/items', '/api/v1/users',
         '/images/logo.png', '/favicon.ico', '/login', '/logout', '/search', '/docs/guide.html',
         '/downloads/tamber-1.2.tar.gz', '/feed.xml', '/robots.txt']
agents = ['Mozilla/5.0 (X11; Linux x86_64; rv:120.0) Gecko/20100101 Firefox/120.0',
          'Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) '
          'Chrome/119.0.0.0 Safari/537.36',
          'Mozilla/5.0 (iPhone; CPU iPhone OS 17_1 like Mac OS X) AppleWebKit/605.1.15 (KHTML, '
          'like Gecko) Version/17.1 Mobile/15E148 Safari/604.1',
          'curl/7.88.1', 'Googlebot/2.1 (+http://www.google.com/bot.html)']
months = 'Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec'.split()
clients = ['%d.%d.%d.%d' % (rnd.randint(1, 223), rnd.randint(0, 255), rnd.randint(0, 255),
                            rnd.randint(1, 254)) for _ in range(3000)]

t0 = 1700000000
for day in range(10):
    with open(os.path.join(out, 'www', 'access.log.%d' % day), 'w') as f:
        t = t0 + day * 86400
        for _ in range(15000):
            t += rnd.randint(0, 6)
            h, m, s = (t // 3600) % 24, (t // 60) % 60, t % 60
            p = rnd.choice(paths)
            if p.startswith('/api') and rnd.random() < 0.5:
                p += '?page=%d&limit=%d' % (rnd.randint(1, 40), rnd.choice((10, 20, 50)))
            status = rnd.choices((200, 304, 404, 500, 302), (80, 10, 6, 1, 3))[0]
            f.write('%s - - [%02d/%s/2023:%02d:%02d:%02d +0000] "GET %s HTTP/1.1" %d %d "-" "%s"\n' % (
                rnd.choice(clients), 1 + day, months[10], h, m, s, p, status,
                rnd.randint(200, 90000) if status == 200 else 0, rnd.choice(agents)))

daemons = [('sshd', ['Accepted publickey for deploy from {ip} port {port} ssh2: ED25519 SHA256:{key}',
                     'Connection closed by {ip} port {port} [preauth]',
                     'Invalid user admin from {ip} port {port}']),
           ('CRON', ['(root) CMD (run-parts /etc/cron.hourly)', '(www-data) CMD (php /srv/app/cron.php)']),
           ('kernel', ['[{up}.{frac}] eth0: link up, 1000 Mbps, full duplex',
                       '[{up}.{frac}] EXT4-fs (sda1): mounted filesystem with ordered data mode',
                       '[{up}.{frac}] audit: type=1400 apparmor="DENIED" operation="open" pid={pid}']),
           ('systemd', ['Started Session {n} of user deploy.', 'Starting Daily apt upgrade and clean activities...',
                        'logrotate.service: Succeeded.']),
           ('postfix/smtpd', ['connect from unknown[{ip}]', 'disconnect from unknown[{ip}] ehlo=1 quit=1 commands=2'])]
for day in range(10):
    with open(os.path.join(out, 'sys', 'syslog.%d' % day), 'w') as f:
        t = t0 + day * 86400
        for _ in range(15000):
            t += rnd.randint(0, 5)
            name, msgs = rnd.choice(daemons)
            msg = rnd.choice(msgs).format(ip=rnd.choice(clients), port=rnd.randint(1024, 65535),
                                          key='%032x' % rnd.getrandbits(128), up=t - t0,
                                          frac='%06d' % rnd.randint(0, 999999), pid=rnd.randint(300, 40000),
                                          n=rnd.randint(1, 9999))
            f.write('%s %2d %02d:%02d:%02d web01 %s[%d]: %s\n' % (
                months[10], 1 + day, (t // 3600) % 24, (t // 60) % 60, t % 60, name,
                rnd.randint(300, 40000), msg))

for sensor in range(8):
    with open(os.path.join(out, 'metrics', 'sensor%02d.csv' % sensor), 'w') as f:
        f.write('timestamp,temperature,humidity,pressure,count,status\n')
        temp, hum, pres, count = 20.0 + sensor, 45.0, 1013.0, 0
        for i in range(30000):
            temp += rnd.gauss(0, 0.05); hum += rnd.gauss(0, 0.1); pres += rnd.gauss(0, 0.02)
            count += rnd.randint(0, 3)
            f.write('%d,%.3f,%.2f,%.2f,%d,%s\n' % (t0 + i * 15, temp, hum, pres, count,
                                                   'OK' if rnd.random() > 0.01 else 'WARN'))

with open(os.path.join(out, 'events.jsonl'), 'w') as f:
    for i in range(50000):
        f.write(json.dumps({'id': i, 'ts': t0 + i * 3, 'user': 'user%04d' % rnd.randint(0, 5000),
                            'event': rnd.choice(('click', 'view', 'purchase', 'signup', 'logout')),
                            'amount': round(rnd.random() * 200, 2) if rnd.random() < 0.1 else None,
                            'session': '%016x' % rnd.getrandbits(64)}) + '\n')

db = sqlite3.connect(os.path.join(out, 'inventory.sqlite'))
db.execute('CREATE TABLE items (id INTEGER PRIMARY KEY, sku TEXT, name TEXT, price REAL, '
           'stock INTEGER, updated INTEGER)')
db.execute('CREATE INDEX items_sku ON items(sku)')
words = ['steel', 'bolt', 'washer', 'nut', 'screw', 'hinge', 'bracket', 'panel', 'cable', 'clamp']
db.executemany('INSERT INTO items VALUES (?, ?, ?, ?, ?, ?)',
               ((i, 'SKU-%07d' % rnd.randint(0, 9999999), ' '.join(rnd.sample(words, 3)),
                 round(rnd.random() * 500, 2), rnd.randint(0, 10000), t0 + rnd.randint(0, 10 ** 7))
                for i in range(150000)))
db.commit()
db.close()
