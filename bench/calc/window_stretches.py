"""The real window under Xvfb, driven and pinged from outside by the shared window driver (windrv.py): the
longest stretch without an answer while a word list is chosen, and while the Results are exported to the real
LibreOffice Calc, the first export (the office starting) and a later one (the office running).

    WINDRV=<folder of windrv.py> QV_APPDIR=<build>/bin AUD_DISPLAY=:36 /usr/bin/python3 window_stretches.py ROWS [RUNS [fresh|lists]]

Needs Xvfb running on AUD_DISPLAY. Each run is a new program with ROWS result rows ("zebra.com" splits one way
with word list #1) and a home of its own, whose office profile is made once beforehand (kept between runs, as a
user's is), or with "fresh" by each run's first export; "lists" times the word lists only, with no export.
The offices started are ended afterwards.
"""
import os, signal, sys, tempfile, time

sys.path.insert(0, os.environ.get("WINDRV", "."))
import windrv  # noqa: E402

# The controls below the display frame, which grew by 600 twips for the choice of splits.
for name in ("opt1", "opt2", "opt3", "start", "excel"):
    left, top, width, height = windrv.CTL[name]
    windrv.CTL[name] = (left, top + 600, width, height)


def office_pids(marker):
    pids = []
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open(f"/proc/{pid}/cmdline", "rb") as f:
                if marker.encode() in f.read():
                    pids.append(int(pid))
        except OSError:
            pass
    return pids


def run(home, rows, first_wait, later_wait, word_lists, exports=True):
    marker = os.path.join(home, ".cache", "quorvane", "office")
    windrv.write_settings(home, ";".join(["zebra.com"] * rows))
    app = windrv.App(home)
    try:
        probe = app.start_probe()
        t0 = app.click("start")
        seconds, box = app.wait_box(t0, timeout=600)
        windrv.dismiss(app, box)
        time.sleep(1)
        figures = {}
        if word_lists:
            for name in ("opt2", "opt3", "opt1"):
                t = app.click(name)
                time.sleep(4)
                figures[name] = probe.worst(t, t + 4)[0] * 1000
        for label, wait in (("first export", first_wait), ("later export", later_wait)) if exports else ():
            t = app.click("excel")
            if label == "later export" and not office_pids(marker):
                raise RuntimeError("no office runs after the first export")
            time.sleep(wait)
            figures[label] = probe.worst(t, t + wait)[0] * 1000
            figures[label + " stalls"] = probe.stalls(t, 0.03)[:6]
        return figures
    finally:
        app.close()
        for pid in office_pids(marker):
            os.kill(pid, signal.SIGKILL)


def main():
    rows = int(sys.argv[1])
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 3
    first_wait, later_wait = (25, 15) if rows <= 200000 else (80, 60)
    fresh = len(sys.argv) > 3 and sys.argv[3] == "fresh"
    exports = not (len(sys.argv) > 3 and sys.argv[3] == "lists")
    home = tempfile.mkdtemp(prefix="qv-stretch-")
    if not fresh and exports:
        run(home, 10, 20, 5, False)  # makes the office's profile, as a user's first export once did
    for n in range(runs):
        if fresh:
            home = tempfile.mkdtemp(prefix="qv-stretch-")
        with open("/proc/loadavg") as f:
            load = f.read().split()[0]
        figures = run(home, rows, first_wait, later_wait, True, exports)
        print(f"{rows} rows, run {n + 1}, load {load}: " +
              ", ".join(f"{k} {v:.0f} ms" if isinstance(v, float) else f"{k} {v}" for k, v in figures.items()),
              flush=True)


if __name__ == "__main__":
    main()
