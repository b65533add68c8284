#!/usr/bin/env python3
"""The real program started on a database with a million names of one source date, as a user starts it.

Lays out an application folder (the program and the templates of a build) and a user data folder in a
work folder, creates the database there with quillmark-setup and fills it through the sqlcipher shell
(kept for later runs), then measures, each RUNS times:

  shell_query_s     the bare ordered query of the name list (the statement the list is filled from)
                    run by the sqlcipher shell on the same file, its output thrown away
  program_start_s   from starting `quillmark` to the first flush of its painted main window
  program_peak_mb   the program's peak resident memory at that moment (VmHWM)

and prints every run and the ratio of the fastest start to the fastest shell query. The moment of the
first paint comes from Qt's own painting log (qt.widgets.painting), stamped with the boot clock that
time.monotonic() reads too. Needs the sqlcipher shell (Debian package sqlcipher).

Usage: bench/real-start-1m.py [BUILD_APP_FOLDER] [WORK_FOLDER] [RUNS]
       defaults: build-release/app, /tmp/quillmark-real-1m, 3
"""
import os
import re
import shutil
import signal
import subprocess
import sys
import threading
import time

PASSWORD = "quartzfern"
NAMES = 1_000_000

FILL_SQL = f"""
PRAGMA key='{PASSWORD}';
PRAGMA journal_mode=WAL;
BEGIN;
UPDATE Dlr_Info SET Name = 'Bench Motors';
INSERT INTO DataFiles (FileName, [Date]) VALUES ('01052026.lst', '2026-01-05 00:00:00');
WITH RECURSIVE n(i, r) AS (SELECT 0, 4242 UNION ALL
                           SELECT i + 1, (r * 1103515245 + 12345) % 2147483648 FROM n WHERE i < {NAMES - 1})
INSERT INTO Names (DataFile_ID, Court_ID, Name, Street, City, State, Zip, Phone, [File], Discharge,
                   Printed, Followed)
SELECT 1, printf('BK%06d', i),
  rtrim(substr('SMITH    GARCIA   O''BRIEN  NGUYEN   KOWALSKI LEE      OKAFOR   YAMADA   HARRIS   DUBOIS   WOLFESCHLEGELCLARK    ', (r % 12) * 9 + 1, 9)) || ', ' ||
  rtrim(substr('JOHN       MARY       ROBERT     LINDA      CARLOS     ANGELA     WEI        PRIYA      DMITRI     RENEE      TRAVIS     NGOC       OWEN       HANNAH     LUIS       MAXIMILIANO', ((r / 12) % 16) * 11 + 1, 11)),
  printf('%d %s', 1 + (r / 7) % 99999, rtrim(substr('MAIN ST   OAK AVE   MAPLE DR  CEDAR LN  RIVER RD  PARK PL   ', ((r / 192) % 6) * 10 + 1, 10))),
  rtrim(substr('SPRINGFIELD    PEORIA         ST. LOUIS      TERRE HAUTE    WEST PALM BEACH', ((r / 1152) % 5) * 15 + 1, 15)),
  substr('ILILMOINFL', ((r / 1152) % 5) * 2 + 1, 2),
  printf('%05d', 60000 + (r / 5760) % 9999),
  CASE WHEN r % 10 = 0 THEN NULL ELSE printf('(%03d) 555-%04d', 200 + (r / 13) % 700, (r / 17) % 10000) END,
  printf('2025-%02d-%02d 00:00:00', 1 + (r / 19) % 12, 1 + (r / 23) % 28),
  CASE WHEN (r / 29) % 10 < 4 THEN NULL ELSE printf('2026-%02d-%02d 00:00:00', 1 + (r / 31) % 6, 1 + (r / 37) % 28) END,
  CASE WHEN (r / 41) % 4 = 0 THEN -1 ELSE 0 END,
  CASE WHEN (r / 41) % 4 = 0 AND (r / 43) % 2 = 0 THEN -1 ELSE 0 END
FROM n;
COMMIT;
PRAGMA wal_checkpoint(TRUNCATE);
SELECT COUNT(*) FROM Names;
"""

LIST_QUERY = f"""
PRAGMA key='{PASSWORD}';
SELECT ID, Court_ID, Name, Street, City, State, Zip, Phone, File, Discharge, Printed, Followed
FROM [Names] WHERE DataFile_ID IN (1) ORDER BY Street ASC;
"""


def prepare(build_app, work):
    app = os.path.join(work, "app")
    xdg = os.path.join(work, "xdg")
    db = os.path.join(xdg, "Quillmark", "Quillmark.mdb")
    # The program and templates are taken fresh from the build every time; the database is kept.
    shutil.rmtree(app, ignore_errors=True)
    os.makedirs(os.path.join(app, "Data"))
    shutil.copy2(os.path.join(build_app, "quillmark"), app)
    shutil.copytree(os.path.join(build_app, "Templates"), os.path.join(app, "Templates"))
    marker = os.path.join(work, f"filled-{NAMES}")
    if not os.path.exists(marker):
        shutil.rmtree(xdg, ignore_errors=True)
        env = dict(os.environ, XDG_DATA_HOME=xdg)
        subprocess.run([os.path.join(build_app, "quillmark-setup")], env=env, check=True,
                       stdout=subprocess.DEVNULL)
        out = subprocess.run(["sqlcipher", db], input=FILL_SQL, text=True, check=True,
                             capture_output=True).stdout
        if str(NAMES) not in out.split():
            sys.exit(f"real-start: filling {db} failed: {out}")
        open(marker, "w").close()
    return app, xdg, db


def shell_query(db):
    start = time.monotonic()
    proc = subprocess.Popen(["sqlcipher", db], stdin=subprocess.PIPE, stdout=subprocess.DEVNULL,
                            text=True)
    proc.stdin.write(LIST_QUERY)
    proc.stdin.close()
    _, status, usage = os.wait4(proc.pid, 0)
    seconds = time.monotonic() - start
    proc.returncode = status
    if status != 0:
        sys.exit("real-start: the sqlcipher shell failed")
    return seconds, usage.ru_maxrss / 1024


def peak_mb(pid):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith("VmHWM:"):
                return int(line.split()[1]) / 1024
    return float("nan")


# The main window's paint reaching the screen, as Qt's painting log reports it.
MAIN_WINDOW_FLUSH = re.compile(r"Flushing QRegion\(.*\) of (MainWindow|frmMain)\(")


def program_start(app, xdg):
    env = dict(os.environ, XDG_DATA_HOME=xdg, QT_LOGGING_RULES="qt.widgets.painting=true",
               QT_MESSAGE_PATTERN="%{time boot} %{message}")
    env.setdefault("QT_QPA_PLATFORM", "offscreen")
    start = time.monotonic()
    proc = subprocess.Popen([os.path.join(app, "quillmark")], env=env, stderr=subprocess.PIPE, text=True)
    # A dialog the program shows instead (an error box) would wait for ever: the run gives up after 2 min.
    timer = threading.Timer(120, proc.kill)
    timer.start()
    try:
        for line in proc.stderr:
            if MAIN_WINDOW_FLUSH.search(line):
                seconds = float(line.split()[0]) - start
                return seconds, peak_mb(proc.pid)
        sys.exit("real-start: the program ended before its main window was painted")
    finally:
        timer.cancel()
        proc.send_signal(signal.SIGTERM)
        proc.stderr.close()
        proc.wait()


def main():
    build_app = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build-release/app")
    work = os.path.abspath(sys.argv[2] if len(sys.argv) > 2 else "/tmp/quillmark-real-1m")
    runs = int(sys.argv[3]) if len(sys.argv) > 3 else 3
    app, xdg, db = prepare(build_app, work)
    shell, starts = [], []
    for run in range(runs):
        s, s_mb = shell_query(db)
        p, p_mb = program_start(app, xdg)
        shell.append(s)
        starts.append((p, p_mb))
        print(f"run {run + 1}: shell_query_s {s:.2f} (peak {s_mb:.0f} MB)  "
              f"program_start_s {p:.2f}  program_peak_mb {p_mb:.0f}", flush=True)
    best_shell = min(shell)
    best_start = min(p for p, _ in starts)
    print(f"shell_query_s: {best_shell:.3f}")
    print(f"program_start_s: {best_start:.3f}")
    print(f"program_start_vs_shell_query: {best_start / best_shell:.3f}")
    print(f"program_peak_mb: {max(mb for _, mb in starts):.1f}")


if __name__ == "__main__":
    main()
