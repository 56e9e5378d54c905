#!/usr/bin/python3
"""The real window's likeliest splits under Xvfb, driven from outside as a person would (clicks through the X
server, the window pinged every 5 ms from a second connection).

1. A check: a few names, some of which only split beyond the word list, run in the likeliest-split mode; the
   result list must show rows in the colour of those rows and rows in plain black. The window is saved as PNG.
2. The figures: a "Start Splitting" run over NAMES names (default 100,000, corpus lines with their blanks
   removed, ".com" added to every other one) in the likeliest-split mode, beside quorvane-split --best 1 -o
   --window-cleaning on the same names, with the longest stretch in which the window did not answer and the
   system's load at the time.

usage: /usr/bin/python3 bench/app/window_likeliest.py WINDOW_DRIVER.py BIN_DIR CORPUS SCREENSHOT.png [NAMES]
Needs xvfb, xdotool, python3-xlib and python3-pil; the window driver is a script that drives the real window.
"""
import importlib.util
import os
import re
import subprocess
import sys
import tempfile
import time

MARKER_RGB = (0xB3, 0x59, 0x00)  # the colour of rows with pieces beyond the word list
LIST = 2
LAYOUT = {'start': (120, 7090, 7800, 405), 'help': (120, 120, 7800, 405), 'list2': (8040, 120, 7800, 5835)}


def load_driver(path, display, bin_dir):
    os.environ['AUD_DISPLAY'] = display
    os.environ['QV_APPDIR'] = bin_dir
    found = importlib.util.spec_from_file_location('windrv', path)
    driver = importlib.util.module_from_spec(found)
    found.loader.exec_module(driver)
    driver.CTL.update(LAYOUT)
    return driver


def settings(home, names):
    path = os.path.join(home, '.config', 'Tarnwick', 'Quorvane.conf')
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, 'w') as file:
        file.write('[Quorvane]\nOption=%d\nShow%%20ASIN=1\nLikeliest%%20Splits=1\nBest%%20Splits=1\nCase%%20Hints=1\n'
                   'Zip%%20Codes="%s"\n' % (LIST, ';'.join(names)))


def run_window(driver, names):
    home = tempfile.mkdtemp(prefix='qv-likeliest-')
    settings(home, names)
    app = driver.App(home)
    probe = app.start_probe()
    t0 = app.click('start')
    seconds, box = app.wait_box(t0, timeout=900)
    if seconds is None:
        app.close()
        raise SystemExit('no "Done." box within 900 s')
    worst, _ = probe.worst(t0, t0 + seconds)
    stretches = probe.stretches(t0, t0 + seconds, 0.05)
    return app, box, seconds, worst, stretches


def window_image(app):
    from PIL import Image
    from Xlib import X
    window = app.d.create_resource_object('window', app.win)
    geometry = window.get_geometry()
    raw = window.get_image(0, 0, geometry.width, geometry.height, X.ZPixmap, 0xffffffff)
    return Image.frombytes('RGB', (geometry.width, geometry.height), raw.data, 'raw', 'BGRX')


def count_colour(image, box, rgb, tolerance=40):
    left, top, width, height = (int(v / 15) for v in box)
    count = 0
    for x in range(left, left + width):
        for y in range(top, top + height):
            pixel = image.getpixel((x, y))
            if all(abs(pixel[k] - rgb[k]) <= tolerance for k in range(3)):
                count += 1
    return count


def check(driver, screenshot):
    names = ['TVShowsOnDVD.com', 'BlueOceanTravelGuide.com', 'sunsetphotos.com', 'xkcdcomicsfan.net',
             'zqvbeachhouse.com', 'bestcheapflights.com', 'NYCpizzaGuide.com']
    app, box, seconds, worst, _ = run_window(driver, names)
    driver.dismiss(app, box)
    time.sleep(0.3)
    image = window_image(app)
    image.save(screenshot)
    marked = count_colour(image, LAYOUT['list2'], MARKER_RGB)
    plain = count_colour(image, LAYOUT['list2'], (0, 0, 0), 60)
    app.close()
    print('check: %d names in %.3f s, longest unanswered %.1f ms; pixels of marked rows %d, of plain rows %d; '
          'saved %s' % (len(names), seconds, worst * 1000, marked, plain, screenshot))
    return marked > 50 and plain > 50


def corpus_names(path, wanted):
    lines = [re.sub(r'[^A-Za-z0-9]', '', line) for line in open(path, encoding='utf-8', errors='replace')]
    lines = [line for line in lines if line]
    names = []
    while len(names) < wanted:
        for line in lines:
            names.append(line + ('.com' if len(names) % 2 else ''))
            if len(names) == wanted:
                break
    return names


def main():
    if len(sys.argv) < 5:
        raise SystemExit(__doc__)
    driver_path, bin_dir, corpus, screenshot = sys.argv[1:5]
    wanted = int(sys.argv[5]) if len(sys.argv) > 5 else 100000
    display = os.environ.get('AUD_DISPLAY', ':97')
    server = subprocess.Popen(['Xvfb', display, '-screen', '0', '1280x800x24', '-dpi', '96', '-nolisten', 'tcp'],
                              stderr=subprocess.DEVNULL)
    time.sleep(1)
    try:
        driver = load_driver(driver_path, display, os.path.abspath(bin_dir))
        checked = check(driver, screenshot)
        names = corpus_names(corpus, wanted)
        load_before = os.getloadavg()
        app, box, seconds, worst, stretches = run_window(driver, names)
        load_after = os.getloadavg()
        app.close()
        with tempfile.NamedTemporaryFile('w', suffix='.txt', delete=False) as file:
            file.write('\r\n'.join(names))
        split = os.path.join(bin_dir, 'quorvane-split')
        arguments = [split, '--best', '1', '-o', '--window-cleaning', '--encoding', 'windows-1252', '-l', str(LIST),
                     '--no-progress']
        start = time.monotonic()
        subprocess.run(arguments + [file.name], stdout=subprocess.DEVNULL, check=True)
        split_seconds = time.monotonic() - start
        start = time.monotonic()
        subprocess.run(arguments, input=b'', stdout=subprocess.DEVNULL, check=True)
        split_load = time.monotonic() - start
        os.unlink(file.name)
        print('window, likeliest split, list %d: %d names in %.2f s; longest unanswered %.1f ms, stretches over '
              '50 ms: %d; load %.2f -> %.2f' % (LIST, len(names), seconds, worst * 1000, len(stretches),
                                               load_before[0], load_after[0]))
        print('quorvane-split --best 1: %.2f s (of which %.2f s loading the words); window / quorvane-split: %.2f'
              % (split_seconds, split_load, seconds / split_seconds))
        if not checked:
            print('check FAILED: the result list does not show both kinds of rows')
            return 1
        return 0
    finally:
        server.terminate()
        server.wait()


if __name__ == '__main__':
    sys.exit(main())
