"""Headless Chromium driven over its debugging protocol, with nothing but
the standard library: a minimal WebSocket client (text frames, no
extensions) and the few protocol calls the browser tests need."""
import base64
import json
import os
import socket
import struct
import subprocess
import time
import urllib.parse
import urllib.request

FLAGS = ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
         '--disable-background-networking', '--disable-component-update', '--disable-sync',
         '--hide-scrollbars', '--window-size=1280,800', '--remote-debugging-port=0']


class WebSocket:
    def __init__(self, url, timeout=60):
        u = urllib.parse.urlparse(url)
        self.sock = socket.create_connection((u.hostname, u.port), timeout=timeout)
        key = base64.b64encode(os.urandom(16)).decode()
        self.sock.sendall(('GET %s HTTP/1.1\r\nHost: %s:%d\r\nUpgrade: websocket\r\n'
                           'Connection: Upgrade\r\nSec-WebSocket-Key: %s\r\n'
                           'Sec-WebSocket-Version: 13\r\n\r\n'
                           % (u.path, u.hostname, u.port, key)).encode())
        self.buf = b''
        while b'\r\n\r\n' not in self.buf:
            self._fill()
        head, self.buf = self.buf.split(b'\r\n\r\n', 1)
        if b' 101 ' not in head.split(b'\r\n')[0]:
            raise RuntimeError('WebSocket handshake refused: %r' % head[:200])

    def _fill(self):
        data = self.sock.recv(1 << 20)
        if not data:
            raise RuntimeError('the browser closed the connection')
        self.buf += data

    def _take(self, n):
        while len(self.buf) < n:
            self._fill()
        out, self.buf = self.buf[:n], self.buf[n:]
        return out

    def send(self, text):
        data = text.encode()
        head = bytearray([0x81])
        if len(data) < 126:
            head.append(0x80 | len(data))
        elif len(data) < 65536:
            head += bytes([0x80 | 126]) + struct.pack('>H', len(data))
        else:
            head += bytes([0x80 | 127]) + struct.pack('>Q', len(data))
        mask = os.urandom(4)
        masked = bytes(b ^ mask[i & 3] for i, b in enumerate(data))
        self.sock.sendall(bytes(head) + mask + masked)

    def recv(self):
        message = b''
        while True:
            b0, b1 = self._take(2)
            n = b1 & 0x7f
            if n == 126:
                n = struct.unpack('>H', self._take(2))[0]
            elif n == 127:
                n = struct.unpack('>Q', self._take(8))[0]
            payload = self._take(n)
            opcode = b0 & 0x0f
            if opcode == 0x8:
                raise RuntimeError('the browser closed the WebSocket')
            if opcode in (0x9, 0xa):  # ping, pong: nothing to deliver
                continue
            message += payload
            if b0 & 0x80:
                return message.decode()


class Browser:
    """One headless Chromium with one page; console errors and uncaught
    exceptions of every page it opens are collected."""

    def __init__(self, executable, profile):
        os.makedirs(profile, exist_ok=True)
        port_file = os.path.join(profile, 'DevToolsActivePort')
        if os.path.exists(port_file):
            os.remove(port_file)  # left by an earlier browser
        self.proc = subprocess.Popen([executable] + FLAGS + ['--user-data-dir=' + profile,
                                                             'about:blank'],
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.monotonic() + 60
        while not (os.path.exists(port_file) and open(port_file).read().count('\n') >= 1):
            if time.monotonic() > deadline or self.proc.poll() is not None:
                self.close()
                raise RuntimeError('Chromium did not start its debugging port')
            time.sleep(0.1)
        try:
            port = int(open(port_file).read().split('\n')[0])
            url = 'http://127.0.0.1:%d/json/list' % port
            targets = json.load(urllib.request.urlopen(url, timeout=60))
            page = next(t for t in targets if t['type'] == 'page')
            self.ws = WebSocket(page['webSocketDebuggerUrl'])
            self.next_id = 0
            self.events = []
            self.call('Runtime.enable')
            self.call('Page.enable')
            self.call('Log.enable')
        except BaseException:
            self.close()
            raise

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def close(self):
        if self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(10)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()

    def call(self, method, **params):
        self.next_id += 1
        self.ws.send(json.dumps({'id': self.next_id, 'method': method, 'params': params}))
        while True:
            message = json.loads(self.ws.recv())
            if message.get('id') == self.next_id:
                if 'error' in message:
                    raise RuntimeError('%s: %s' % (method, message['error']))
                return message.get('result', {})
            if 'method' in message:
                self.events.append(message)

    def wait_for(self, method, timeout=60):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            for i, e in enumerate(self.events):
                if e['method'] == method:
                    del self.events[i]
                    return e
            message = json.loads(self.ws.recv())
            if 'method' in message:
                self.events.append(message)
        raise RuntimeError('no %s within %d s' % (method, timeout))

    def open(self, url):
        self.events = [e for e in self.events if e['method'] != 'Page.loadEventFired']
        self.call('Page.navigate', url=url)
        self.wait_for('Page.loadEventFired')

    def evaluate(self, expression):
        result = self.call('Runtime.evaluate', expression=expression, returnByValue=True)
        if 'exceptionDetails' in result:
            raise RuntimeError('script failed: %s' % result['exceptionDetails'])
        return result['result'].get('value')

    def state(self, expression):
        return json.loads(self.evaluate(expression))

    def key(self, name):
        codes = {'ArrowLeft': 37, 'ArrowUp': 38, 'ArrowRight': 39, 'ArrowDown': 40}
        for kind in ('keyDown', 'keyUp'):
            self.call('Input.dispatchKeyEvent', type=kind, key=name, code=name,
                      windowsVirtualKeyCode=codes[name])

    def screenshot(self, path):
        data = self.call('Page.captureScreenshot', format='png')['data']
        with open(path, 'wb') as f:
            f.write(base64.b64decode(data))

    def errors(self):
        """Console errors and uncaught exceptions seen so far."""
        out = []
        for e in self.events:
            m, p = e['method'], e.get('params', {})
            if m == 'Runtime.exceptionThrown':
                out.append(p['exceptionDetails'].get('exception', {}).get('description')
                           or p['exceptionDetails'].get('text'))
            elif m == 'Runtime.consoleAPICalled' and p.get('type') in ('error', 'assert'):
                out.append(' '.join(str(a.get('value', a.get('description'))) for a in p['args']))
            elif m == 'Log.entryAdded' and p['entry'].get('level') == 'error':
                out.append(p['entry'].get('text'))
        return out
