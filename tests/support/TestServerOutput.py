"""What the test servers share: a line about every request appended to the
file named by --record before the request is answered, "PORT <n>" as the one
line on standard output, and an end as soon as the reader of that output
closes it, so a server never outlives its test."""

import os
import select
import sys
import threading

RECORD_LOCK = threading.Lock()  # one writer per line of the record file
RECORD = []  # the record file's name


def arguments(parser):
    parser.add_argument("--record", required=True)
    args = parser.parse_args()
    RECORD.append(args.record)
    return args


def say(line):
    with RECORD_LOCK, open(RECORD[0], "a") as record:
        record.write(line + "\n")


def serve_until_output_closes(port, serve):
    def end_with_output():
        closed = select.poll()
        closed.register(sys.stdout.fileno(), 0)  # a pipe without a reader reports an error
        closed.poll()
        os._exit(0)

    threading.Thread(target=end_with_output, daemon=True).start()
    sys.stdout.write("PORT %d\n" % port)
    sys.stdout.flush()
    serve()
