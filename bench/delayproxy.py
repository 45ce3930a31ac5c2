#!/usr/bin/env python3
"""Forwards TCP connections from 127.0.0.1:LISTEN_PORT to 127.0.0.1:TARGET_PORT,
holding every piece of data back DELAY_MS milliseconds in each direction, so
that a loopback server answers like one a network away (the round trip grows
by twice the delay). Used by bench/sftp.sh with DELAY_MS set.

    bench/delayproxy.py LISTEN_PORT TARGET_PORT DELAY_MS
"""
import asyncio
import sys


async def forward(reader, writer, delay):
    loop = asyncio.get_running_loop()
    try:
        while data := await reader.read(65536):
            loop.call_at(loop.time() + delay, writer.write, data)
    finally:
        loop.call_at(loop.time() + delay, writer.close)


async def main(listen_port, target_port, delay):
    async def connect(client_reader, client_writer):
        server_reader, server_writer = await asyncio.open_connection("127.0.0.1", target_port)
        await asyncio.gather(forward(client_reader, server_writer, delay),
                             forward(server_reader, client_writer, delay))

    server = await asyncio.start_server(connect, "127.0.0.1", listen_port)
    async with server:
        await server.serve_forever()


if __name__ == "__main__":
    asyncio.run(main(int(sys.argv[1]), int(sys.argv[2]), float(sys.argv[3]) / 1000))
