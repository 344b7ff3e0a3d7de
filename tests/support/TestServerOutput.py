"""What the test servers share: one line at a time on standard output, and an
end as soon as standard input closes, so a server never outlives its test."""

import os
import sys
import threading

OUTPUT_LOCK = threading.Lock()  # one writer per line of standard output


def say(line):
    with OUTPUT_LOCK:
        sys.stdout.write(line + "\n")
        sys.stdout.flush()


def serve_until_stdin_closes(port, serve):
    def end_with_stdin():
        sys.stdin.read()
        os._exit(0)

    threading.Thread(target=end_with_stdin, daemon=True).start()
    say("PORT %d" % port)
    serve()
