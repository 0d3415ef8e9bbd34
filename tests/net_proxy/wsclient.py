"""A small WebSocket client (RFC 6455) on the standard library, for tests that talk to dealbrix-server
directly or through HAProxy: text messages of JSON, answers to pings, the close code of a closing
server. Every wait is bounded by a deadline."""
import base64
import hashlib
import json
import os
import socket
import struct
import time

GUID = b"258EAFA5-E914-47DA-95CA-C5AB0DC85B11"
OP_CONTINUATION, OP_TEXT, OP_BINARY, OP_CLOSE, OP_PING, OP_PONG = 0x0, 0x1, 0x2, 0x8, 0x9, 0xA


class HandshakeRefused(Exception):
    """The server (or the proxy) answered the upgrade with something other than 101."""

    def __init__(self, status_line):
        super().__init__(status_line)
        self.status_line = status_line


class Closed(Exception):
    """The connection ended; code is the close code the other side sent, or None."""

    def __init__(self, code, reason=""):
        super().__init__(f"closed with code {code} {reason}".strip())
        self.code = code


class WebSocket:
    def __init__(self, host, port, path="/", timeout=10.0, tls=None):
        """Opens ws://host:port/path, or wss:// with `tls`, an ssl.SSLContext."""
        self.sock = socket.create_connection((host, port), timeout=timeout)
        if tls is not None:
            self.sock = tls.wrap_socket(self.sock, server_hostname=host)
        self.buffer = b""
        key = base64.b64encode(os.urandom(16)).decode()
        request = (f"GET {path} HTTP/1.1\r\nHost: {host}:{port}\r\nUpgrade: websocket\r\n"
                   f"Connection: Upgrade\r\nSec-WebSocket-Key: {key}\r\nSec-WebSocket-Version: 13\r\n\r\n")
        self.sock.sendall(request.encode())
        deadline = time.monotonic() + timeout
        while b"\r\n\r\n" not in self.buffer:
            self._fill(deadline)
        head, self.buffer = self.buffer.split(b"\r\n\r\n", 1)
        lines = head.decode(errors="replace").split("\r\n")
        if not lines[0].startswith("HTTP/1.1 101"):
            self.sock.close()
            raise HandshakeRefused(lines[0])
        accept = base64.b64encode(hashlib.sha1(key.encode() + GUID).digest()).decode()
        if not any(line.lower() == f"sec-websocket-accept: {accept}".lower() for line in lines[1:]):
            self.sock.close()
            raise HandshakeRefused("wrong Sec-WebSocket-Accept")

    def _fill(self, deadline):
        left = deadline - time.monotonic()
        if left <= 0:
            raise TimeoutError("no answer in time")
        self.sock.settimeout(left)
        try:
            chunk = self.sock.recv(65536)
        except socket.timeout as error:
            raise TimeoutError("no answer in time") from error
        except OSError as error:
            raise Closed(None, str(error)) from error
        if not chunk:
            raise Closed(None, "connection ended")
        self.buffer += chunk

    def _take(self, count, deadline):
        while len(self.buffer) < count:
            self._fill(deadline)
        data, self.buffer = self.buffer[:count], self.buffer[count:]
        return data

    def _send_frame(self, opcode, payload):
        mask = os.urandom(4)
        size = len(payload)
        if size < 126:
            header = struct.pack("!BB", 0x80 | opcode, 0x80 | size)
        elif size < 65536:
            header = struct.pack("!BBH", 0x80 | opcode, 0x80 | 126, size)
        else:
            header = struct.pack("!BBQ", 0x80 | opcode, 0x80 | 127, size)
        masked = bytes(b ^ mask[i % 4] for i, b in enumerate(payload))
        self.sock.sendall(header + mask + masked)

    def send(self, message):
        """Sends one JSON message."""
        self._send_frame(OP_TEXT, json.dumps(message).encode())

    def receive(self, timeout=10.0):
        """The next JSON message; answers pings on the way, raises Closed when the other side closes."""
        deadline = time.monotonic() + timeout
        parts = []
        while True:
            first, second = self._take(2, deadline)
            opcode, size = first & 0x0F, second & 0x7F
            if size == 126:
                size = struct.unpack("!H", self._take(2, deadline))[0]
            elif size == 127:
                size = struct.unpack("!Q", self._take(8, deadline))[0]
            payload = self._take(size, deadline)
            if opcode == OP_PING:
                self._send_frame(OP_PONG, payload)
            elif opcode == OP_CLOSE:
                code = struct.unpack("!H", payload[:2])[0] if len(payload) >= 2 else None
                self.close()
                raise Closed(code, payload[2:].decode(errors="replace"))
            elif opcode in (OP_TEXT, OP_CONTINUATION):
                parts.append(payload)
                if first & 0x80:
                    return json.loads(b"".join(parts).decode())

    def receive_until(self, accept, timeout=10.0):
        """Reads messages until accept(message) is true and returns that message."""
        deadline = time.monotonic() + timeout
        while True:
            message = self.receive(max(0.0, deadline - time.monotonic()))
            if accept(message):
                return message

    def close(self):
        try:
            self._send_frame(OP_CLOSE, struct.pack("!H", 1000))
        except OSError:
            pass
        self.sock.close()
