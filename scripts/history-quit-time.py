#!/usr/bin/env python3
# How long the application takes to quit with a long reading history: for each count N, a store
# holding N history entries is written in a temporary home, the program is started off screen,
# stopped with SIGTERM once its window is up, and the time from the signal to the "Settings saved"
# line and to the end of the process is printed, with the entries the store keeps.
#
#     python3 scripts/history-quit-time.py build-release/vellora 1000 20000 50000
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time


def measure(binary, count):
    binary = os.path.abspath(binary)
    home = tempfile.mkdtemp(prefix="vellora-history-")
    try:
        os.makedirs(home + "/config/Vellora")
        with open(home + "/config/Vellora/Vellora.ini", "w") as store:
            store.write("version=4\n\n[history]\n")
            for i in range(count):
                n = i + 1
                store.write(f"{n}\\filePath={home}/books/book{i:06d}.txt\n"
                            f"{n}\\lastOpened=2024-01-01T10:{(i // 60) % 60:02d}:{i % 60:02d}Z\n"
                            f"{n}\\progress=0.5\n")
            store.write(f"size={count}\n")
        env = dict(os.environ, HOME=home, XDG_CONFIG_HOME=home + "/config", XDG_CACHE_HOME=home + "/cache",
                   QT_QPA_PLATFORM="offscreen")
        process = subprocess.Popen([binary], env=env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, cwd=home)
        for line in process.stdout:
            if b"Rendering API" in line:
                break
        stopped = time.monotonic()
        process.send_signal(signal.SIGTERM)
        saved = None
        for line in process.stdout:
            if b"Settings saved" in line or b"could not be written" in line:
                saved = time.monotonic() - stopped
        process.wait()
        ended = time.monotonic() - stopped
        with open(home + "/config/Vellora/Vellora.ini") as store:
            kept = store.read().count("\\filePath=")
        saved_text = "none" if saved is None else f"{saved:.2f} s"
        print(f"entries={count} saved_after={saved_text} ended_after={ended:.2f} s kept={kept}")
    finally:
        shutil.rmtree(home, ignore_errors=True)


if __name__ == "__main__":
    for n in sys.argv[2:]:
        measure(sys.argv[1], int(n))
