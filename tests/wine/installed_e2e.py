#!/usr/bin/env python3
"""The Windows program as a user meets it under wine, driven with real key presses.

The installer runs silently in a fresh wine prefix; the installed program starts, shows the
first-run notice, gets "Notepad" as destination through Tools, Options, and sends from wine's
Notepad with F11, a Hotword and F12, also a Message it made with New whose date and free-text
tokens are filled in. A Message with an attachment then goes to a window that records the
file list of its paste. Around every send the clipboard holds text and a picture, which must
come back byte for byte. At the end the per-user database and options.ini hold what was done.

Runs on an X display without a window manager (tests/support/with-x11.sh --no-wm). Wine draws
its own desktop there, in which it places and activates its windows as Windows does; windows
are found and watched through wine's own view (the tool wintool.exe). Keys and clicks go in
through XTest with xdotool. The one thing a window manager would do, giving the display's
keyboard focus to the X window of the window wine has put in front, the test does itself.

Prints figures (sizes, start times, with --measure the time from F12 to the text in Notepad)
for information; none of them is checked.

usage: installed_e2e.py --installer-dir DIR --wintool WINTOOL.exe [--measure N]
"""
import argparse
import configparser
import datetime
import os
import re
import shutil
import sqlite3
import statistics
import struct
import subprocess
import sys
import tempfile
import time

MAIN_TITLE = "Tolvane Quillbay"
NOTEPAD_TITLE = "Untitled - Notepad"
RECORDER_TITLE = "Paste Recorder"
SHORT_DATE = ("dd.MM.yyyy", "%d.%m.%Y")

# The Message the user writes with New, and what its send pastes.
NEW_HOTWORD = "wineorder"
NEW_DESCRIPTION = "Order on its way"
NEW_TEXT = "Dear ^^INPUT:Name||Sir^^,\nyour order of %DATE% is on its way."
# Typed with xdotool, which types a letter missing from the keyboard map by binding it to a
# spare key for the moment; wine does not always see that binding, so the letters are ASCII.
NEW_ANSWER = "Mr Miller"
ATTACHMENT_NAME = "price list ü.txt"

# The user's settings in the new prefix:
# - the short date format, which %DATE% must follow;
# - one wine desktop window on the X display, inside which wine places, activates and focuses
#   its windows as Windows does;
# - Notepad below the program's window, so that a click on either's caption hits it.
USER_SETTINGS = r"""REGEDIT4

[HKEY_CURRENT_USER\Control Panel\International]
"sShortDate"="%s"

[HKEY_CURRENT_USER\Software\Wine\Explorer]
"Desktop"="Default"

[HKEY_CURRENT_USER\Software\Wine\Explorer\Desktops]
"Default"="1280x1024"

[HKEY_CURRENT_USER\Software\Microsoft\Notepad]
"iWindowPosX"=dword:00000000
"iWindowPosY"=dword:00000294
"iWindowPosDX"=dword:000003e8
"iWindowPosDY"=dword:0000012c
""" % SHORT_DATE[0]

# The destination for attachments, recognised by the recorder's title; in the user's own
# copy of targets.ini only.
RECORDER_SECTION = "[Outlook Express]\nTarget=%s\nSearch Type=Starts With\n\n" % RECORDER_TITLE


def order_texts():
    """What the new Message pastes: its free-text answer and today's date (or yesterday's,
    when the send ran over midnight)."""
    today = datetime.date.today()
    return [NEW_TEXT.replace("^^INPUT:Name||Sir^^", NEW_ANSWER).replace("%DATE%", day.strftime(SHORT_DATE[1]))
            for day in (today, today - datetime.timedelta(days=1))]


class Failure(Exception):
    pass


def check(condition, what):
    if not condition:
        raise Failure(what)


def wait_for(predicate, what, timeout=20.0, interval=0.1):
    """Polls predicate until it gives a true value, which is returned; what (a text or a
    function giving one) names it in the failure."""
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() > deadline:
            raise Failure("timed out: " + (what() if callable(what) else what))
        time.sleep(interval)


def run(args, timeout=60, **kwargs):
    return subprocess.run(args, capture_output=True, timeout=timeout, **kwargs)


def log(text):
    print(text, flush=True)


# --- the X display -----------------------------------------------------------------------

def xdotool(*args):
    return run(["xdotool", *args], timeout=20, text=True).stdout


def keys(*names):
    xdotool("key", "--clearmodifiers", *names)


def type_text(text):
    xdotool("type", "--delay", "30", text)


def x_focus_title():
    return xdotool("getwindowname", xdotool("getwindowfocus").strip()).rstrip("\n")


def click(x, y):
    xdotool("mousemove", str(x), str(y), "click", "1")


# --- wine --------------------------------------------------------------------------------

class Wine:
    def __init__(self, prefix, wintool):
        self.prefix = prefix
        self.wintool = wintool
        # No .NET or web engine installers; no menu entries in the real home for the Start
        # menu entry that the installer makes.
        self.env = dict(os.environ, WINEPREFIX=prefix, WINEDEBUG="-all",
                        WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d")
        self.processes = []

    def run(self, *args, timeout=120):
        result = run(["wine", *args], timeout=timeout, env=self.env)
        return result.returncode, result.stdout.decode("utf-8", "replace")

    def start(self, *args):
        process = subprocess.Popen(["wine", *args], env=self.env, stdout=subprocess.DEVNULL,
                                   stderr=subprocess.DEVNULL)
        self.processes.append(process)
        return process

    def tool(self, *args, codes=(0,)):
        """Runs wintool. A start that hangs or fails, which wine's start of its desktop
        causes now and then, is tried again."""
        for attempt in range(1, 4):
            try:
                code, out = self.run(self.wintool, *args, timeout=8)
                if code in codes:
                    return out if code == 0 else ""
                log("wintool %s ended with %d (attempt %d)" % (args[0], code, attempt))
            except subprocess.TimeoutExpired:
                log("wintool %s hung (attempt %d)" % (args[0], attempt))
        raise Failure("wintool %s failed three times" % args[0])

    def drive_c(self, *parts):
        return os.path.join(self.prefix, "drive_c", *parts)

    def stop(self):
        for process in self.processes:
            if process.poll() is None:
                process.kill()
        run(["wineserver", "-k"], env=self.env)
        run(["wineserver", "-w"], timeout=30, env=self.env)


def windows_path(host_path):
    return "Z:" + os.path.abspath(host_path).replace("/", "\\")


def picture():
    """A small device-independent bitmap (24 bits, 5 x 3 pixels, rows padded to 4 bytes)."""
    width, height = 5, 3
    stride = (width * 3 + 3) // 4 * 4
    pixels = bytes((17 * x + 71 * y + 5) % 256 for y in range(height) for x in range(stride))
    header = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    return header + pixels


def pe_machine(path):
    """The machine field of a Windows program's header: 0x8664 for x64, 0x14c for x86."""
    with open(path, "rb") as file:
        header = file.read(4096)
    at = struct.unpack_from("<I", header, 0x3C)[0]
    check(header[:2] == b"MZ" and header[at:at + 4] == b"PE\0\0", path + " is a Windows program")
    return struct.unpack_from("<H", header, at + 4)[0]


def unescape(text):
    return re.sub(r"\\(.)", lambda m: {"n": "\n", "r": "\r", "t": "\t"}.get(m.group(1), m.group(1)), text)


# --- the test ----------------------------------------------------------------------------

class EndToEnd:
    def __init__(self, wine, work, installer_dir):
        self.wine = wine
        self.work = work
        self.installer_dir = installer_dir
        self.program = None
        self.exe = None
        self.clip_in = os.path.join(work, "before.dib")
        self.clip_out = os.path.join(work, "after.dib")
        with open(self.clip_in, "wb") as file:
            file.write(picture())
        self.clip_count = 0
        self.figures = {}

    # The user's environment -----------------------------------------------------------

    def prepare_prefix(self):
        started = time.monotonic()
        # Now and then wine cannot load kernel32.dll in a new prefix (exit code 53); that
        # prefix is thrown away and made again.
        for attempt in range(1, 4):
            code, _ = self.wine.run("wineboot", "-i", timeout=180)
            if code != 53:
                break
            log("wine could not start in the new prefix (attempt %d)" % attempt)
            self.wine.stop()
            shutil.rmtree(self.wine.prefix, ignore_errors=True)
        check(code == 0, "wineboot failed")
        settings = os.path.join(self.work, "user.reg")
        with open(settings, "w", encoding="utf-8") as file:
            file.write(USER_SETTINGS)
        code, _ = self.wine.run("regedit", "/S", windows_path(settings))
        check(code == 0, "regedit failed")
        log("prefix ready in %.1f s" % (time.monotonic() - started))

    def find_installer(self):
        # The newest, should older versions' installers lie there too.
        installers = [os.path.join(self.installer_dir, name) for name in os.listdir(self.installer_dir)
                      if name.lower().endswith(".exe")]
        check(installers, "an installer in " + self.installer_dir)
        installer = max(installers, key=os.path.getmtime)
        check(pe_machine(installer) == 0x8664,
              "the installer must be a 64-bit program, as the wine here runs no others: "
              + os.path.basename(installer))
        self.figures["installer size"] = os.path.getsize(installer)
        self.installer = installer

    def install(self):
        code, _ = self.wine.run(self.installer, "/S", timeout=180)
        check(code == 0, "silent installer ended with %d" % code)
        found = [path for path in self.files_named("quillbay.exe") if not path.startswith(self.wine.drive_c("windows"))]
        check(len(found) == 1, "one installed quillbay.exe, found %s" % found)
        self.exe = found[0]
        self.figures["quillbay.exe size"] = os.path.getsize(self.exe)
        self.installed_files = self.program_folder_files()
        log("installed %s" % os.path.relpath(self.exe, self.wine.drive_c()))

    def program_folder_files(self):
        folder = os.path.dirname(self.exe)
        return sorted(os.path.relpath(os.path.join(root, name), folder)
                      for root, _, files in os.walk(folder) for name in files)

    def files_named(self, name, folder=""):
        return [os.path.join(root, file) for root, _, files in os.walk(self.wine.drive_c(folder)) for file in files
                if file.lower() == name]

    def user_file(self, name):
        """The one file of this name in the user's folders of the prefix, the program's own
        folder aside."""
        program_folder = os.path.dirname(self.exe) + os.sep
        found = [path for path in self.files_named(name, "users") if not path.startswith(program_folder)]
        check(len(found) == 1, "one %s in the user's folders, found %s" % (name, found))
        check(re.search(r"/AppData/(Roaming|Local)/", found[0]) is not None,
              "%s in a per-user application data folder: %s" % (name, found[0]))
        return found[0]

    # Windows, as Windows sees them -------------------------------------------------------

    def windows(self, title):
        """Visible top-level windows titled exactly title: {handle: (left, top, right, bottom)}."""
        lines = self.wine.tool("windows", title).split("\n")
        return {line.split()[0]: tuple(int(n) for n in line.split()[1:]) for line in lines if line}

    def foreground(self):
        """The title of the window in front."""
        return self.wine.tool("foreground", codes=(0, 3))

    def wait_foreground(self, title, what, timeout=20):
        """Waits until the window titled title is in front, then makes sure that its X window
        has the display's keyboard focus: wine, with its own desktop on the display, does not
        always move it there, and keys would go to the window that last had it."""
        wait_for(lambda: self.foreground() == title, lambda: "%s (in front: %r)" % (what, self.foreground()),
                 timeout=timeout)
        if x_focus_title() != title:
            mapped = xdotool("search", "--onlyvisible", "--name", "^%s$" % re.escape(title)).split()
            check(len(mapped) == 1, "one X window titled %s: %s" % (title, mapped))
            xdotool("windowfocus", mapped[0])
            wait_for(lambda: x_focus_title() == title, "the keyboard focus in " + title, timeout=10)

    def activate(self, title):
        """Brings the window titled title to the front as a user does: a click on its caption,
        unless it is in front already (two clicks in a row would maximise it)."""
        if self.foreground() == title:
            self.wait_foreground(title, title + " in front")
            return
        found = wait_for(lambda: self.windows(title), "a window titled " + title)
        left, top, right, _ = next(iter(found.values()))
        click((left + right) // 2, top + 10)
        self.wait_foreground(title, "a click brings %s to the front" % title, timeout=10)

    # The program -----------------------------------------------------------------------

    def start_program(self, expect_notice):
        """Starts the program; with expect_notice the first window is the first-run notice,
        which the user clicks and closes with Enter. Gives the main window."""
        started = time.monotonic()
        self.program = self.wine.start(self.exe)
        # Watched on the display first: a Windows program started while wine still sets up
        # its desktop may hang for a while.
        wait_for(lambda: xdotool("search", "--onlyvisible", "--name", "^%s$" % re.escape(MAIN_TITLE)).split(),
                 "the program's first window on the display", timeout=60)
        self.figures.setdefault("start to first window (s)", []).append(round(time.monotonic() - started, 2))
        first = wait_for(lambda: self.windows(MAIN_TITLE), "the program's first window", timeout=20)
        check(len(first) == 1, "one window at start, found %d" % len(first))
        self.wait_foreground(MAIN_TITLE, "the program's window in front")
        if expect_notice:
            keys("Return")
            wait_for(lambda: not set(first) & set(self.windows(MAIN_TITLE)), "the first-run notice closed by Enter")
            main = wait_for(lambda: self.windows(MAIN_TITLE), "the main window after the notice")
        else:
            # No box follows the main window.
            time.sleep(2)
            main = self.windows(MAIN_TITLE)
            check(main.keys() == first.keys(), "only the main window at a start with a destination: %s" % main)
        check(len(main) == 1, "one main window, found %d" % len(main))

    def exit_program(self):
        self.activate(MAIN_TITLE)
        keys("alt+f")
        keys("x")
        wait_for(lambda: self.program.poll() is not None, "the program ended", timeout=30)
        check(self.program.returncode == 0, "exit code %d" % self.program.returncode)

    def choose_destination(self, keys_in_list, expected):
        """Tools, Options; the destination list takes keys_in_list; OK."""
        options = self.user_file("options.ini")
        self.activate(MAIN_TITLE)
        keys("alt+o")
        keys("o")
        self.wait_foreground("Options", "the Options dialog")
        for step in keys_in_list:
            if step.startswith("key:"):
                keys(step[4:])
            else:
                type_text(step)
        keys("Return")
        self.wait_foreground(MAIN_TITLE, "the Options dialog closed")
        wait_for(lambda: self.options(options).get("Options", "Target", fallback=None) == expected,
                 "Target=%s in options.ini" % expected, timeout=10)

    @staticmethod
    def options(path):
        parser = configparser.ConfigParser(interpolation=None)
        parser.optionxform = str
        parser.read(path, encoding="utf-8")
        return parser

    def new_message(self):
        self.activate(MAIN_TITLE)
        keys("ctrl+n")
        self.wait_foreground("Add/Edit Message", "the Add/Edit Message dialog")
        type_text(NEW_HOTWORD)
        keys("Tab")
        type_text(NEW_DESCRIPTION)
        keys("Tab")
        for number, line in enumerate(NEW_TEXT.split("\n")):
            if number:
                keys("Return")
            type_text(line)
        keys("alt+s")
        self.wait_foreground(MAIN_TITLE, "the Add/Edit Message dialog closed by Save")

    # Sends ------------------------------------------------------------------------------

    def set_clipboard(self):
        self.clip_count += 1
        text = "Before the send, number %d: ü" % self.clip_count
        self.wine.tool("clip-set", text, windows_path(self.clip_in))
        return text

    def clipboard_restored(self, text):
        def same():
            got = self.wine.tool("clip-get", windows_path(self.clip_out))
            return got == text
        wait_for(same, "the clipboard's text back after the send", timeout=10, interval=0.3)
        with open(self.clip_in, "rb") as before, open(self.clip_out, "rb") as after:
            expected, actual = before.read(), after.read()
        # A global block may be rounded up in size; the picture itself must be the same bytes.
        check(actual[:len(expected)] == expected and len(actual) - len(expected) < 16,
              "the picture on the clipboard back byte for byte (%d bytes before, %d after)"
              % (len(expected), len(actual)))

    def send_from(self, title, hotword, answers):
        """In the window titled title: F11, the Hotword, Enter, F12, and the free-text answers."""
        self.activate(title)
        keys("F11")
        self.wait_foreground(MAIN_TITLE, "F11 brings the main window to the front", timeout=10)
        type_text(hotword)
        keys("Return", "F12")
        for answer in answers:
            self.wait_foreground("Free Text Entry", "the free-text prompt")
            type_text(answer)
            keys("Return")

    def notepad_text(self):
        return self.wine.tool("text", NOTEPAD_TITLE).replace("\r\n", "\n")

    def clear_notepad(self):
        self.activate(NOTEPAD_TITLE)
        keys("ctrl+a", "Delete")
        wait_for(lambda: self.notepad_text() == "", "Notepad emptied")

    def sends_into_notepad(self, cases):
        """Each case: name, Hotword, free-text answers, and a function giving the texts that may
        stand in Notepad afterwards."""
        for name, hotword, answers, expected in cases:
            log("send: " + name)
            self.clear_notepad()
            before = self.set_clipboard()
            self.send_from(NOTEPAD_TITLE, hotword, answers)
            last = []

            def arrived():
                last[:] = [self.notepad_text()]
                return last[0] in expected()
            wait_for(arrived, lambda: "%s in Notepad (it holds %r)" % (name, last), timeout=15)
            self.clipboard_restored(before)

    def measure_sends(self, hotword, expected, count):
        times = []
        for _ in range(count):
            self.clear_notepad()
            keys("F11")
            self.wait_foreground(MAIN_TITLE, "F11 brings the main window to the front")
            type_text(hotword)
            keys("Return")
            time.sleep(0.5)
            started = time.monotonic()
            keys("F12")
            wait_for(lambda: self.notepad_text() == expected, "measured send", timeout=15, interval=0.02)
            times.append(time.monotonic() - started)
        self.figures["F12 to text in Notepad, median of %d (s)" % count] = round(statistics.median(times), 3)

    # The whole story ----------------------------------------------------------------------

    def run(self, measure):
        self.find_installer()
        self.prepare_prefix()
        self.install()

        # First start: the notice, the user's files, nothing beside the program.
        self.start_program(expect_notice=True)
        self.exit_program()
        check(self.program_folder_files() == self.installed_files, "nothing written beside the program")
        database = self.user_file("quillbay.db")
        options_path = self.user_file("options.ini")
        targets_path = self.user_file("targets.ini")
        log("user files: %s" % ", ".join(os.path.relpath(p, self.wine.drive_c())
                                          for p in (database, options_path, targets_path)))
        before_rows = self.rows(database)
        start_text = self.message_text(database, "start")
        check(start_text, "the example Message 'start' in the new database")

        # The recorder's destination, right after Outlook's own section in the user's copy.
        with open(targets_path, encoding="utf-8") as file:
            targets = file.read()
        at = targets.find("\n[", targets.find("[Outlook]") + 1) + 1
        check(at > 0, "a section after [Outlook] in targets.ini")
        with open(targets_path, "w", encoding="utf-8", newline="") as file:
            file.write(targets[:at] + RECORDER_SECTION.replace("\n", "\r\n" if "\r\n" in targets else "\n")
                       + targets[at:])

        # Second start: still no destination, so the notice again; then Notepad.
        self.start_notepad()
        self.start_program(expect_notice=True)
        self.choose_destination(["Notepad"], "Notepad")
        self.new_message()
        self.sends_into_notepad([
            ("example Message", "start", [], lambda: [start_text]),
            ("new Message with date and free text", NEW_HOTWORD, [NEW_ANSWER], order_texts),
        ])
        if measure:
            self.measure_sends("start", start_text, measure)
        self.exit_program()

        options = self.options(options_path)
        check(dict(options["Options"]) == {
            "Target": "Notepad", "HotKey": "F12", "ActivateKey": "F11", "RestoreClipboard": "True",
            "Do Attachments": "True", "Minimize On Close": "False", **self.window_search(options)},
            "options.ini [Options] as the user left it: %s" % dict(options["Options"]))
        after_rows = self.rows(database)
        added = {table: sorted(set(after_rows[table]) - set(before_rows[table])) for table in after_rows}
        removed = {table: sorted(set(before_rows[table]) - set(after_rows[table])) for table in after_rows}
        check(not any(removed.values()), "no row changed or removed: %s" % removed)
        check([row[1:4] for row in added["FAQ"]] == [(NEW_DESCRIPTION, NEW_HOTWORD, NEW_TEXT)],
              "the new Message as typed: %s" % added["FAQ"])
        check(not added["FAQKeywords"] and not added["FAQAttachments"], "no other rows: %s" % added)

        # The attachment, given to the new Message as the attachment grid would.
        user = [name for name in os.listdir(self.wine.drive_c("users")) if name != "Public"]
        check(len(user) == 1, "one user folder in the prefix: %s" % user)
        documents = self.wine.drive_c("users", user[0], "Documents")
        os.makedirs(documents, exist_ok=True)
        with open(os.path.join(documents, ATTACHMENT_NAME), "w", encoding="utf-8") as file:
            file.write("Prices\n")
        attachment = "C:\\users\\%s\\Documents\\%s" % (user[0], ATTACHMENT_NAME)
        with sqlite3.connect(database) as db:
            db.execute("insert into FAQAttachments (FAQID, Filename, PromptToUse) "
                       "select ID, ?, 0 from FAQ where Hotword = ?", (attachment, NEW_HOTWORD))
        db.close()

        # Third start: the destination is remembered; Outlook Express gets text and file.
        self.start_program(expect_notice=False)
        self.choose_destination(["Outlook", "key:Down"], "Outlook Express")
        record = os.path.join(self.work, "pasted.txt")
        self.wine.start(self.wine.wintool, "recorder", RECORDER_TITLE, windows_path(record))
        wait_for(lambda: self.windows(RECORDER_TITLE), "the recorder window")
        before = self.set_clipboard()
        self.send_from(RECORDER_TITLE, NEW_HOTWORD, [NEW_ANSWER])

        def pasted():
            with open(record, encoding="utf-8") as file:
                lines = [line.rstrip("\n").split("\t", 1) for line in file]
            return lines if len(lines) >= 2 else None
        lines = wait_for(pasted, "two pastes in the recorder", timeout=15)
        check(lines[0][0] == "text" and unescape(lines[0][1]).replace("\r\n", "\n") in order_texts(),
              "the text pasted first: %s" % lines[0])
        check([[kind, unescape(value)] for kind, value in lines[1:]] == [["file", attachment]],
              "then the file list of the attachment: %s" % lines[1:])
        self.clipboard_restored(before)
        self.exit_program()
        check(self.options(options_path)["Options"]["Target"] == "Outlook Express",
              "options.ini keeps Outlook Express")

    def diagnose(self):
        """Shows the windows and the clipboard as the failure left them."""
        try:
            log("windows:\n" + self.wine.tool("windows"))
            log("in front: %r" % self.foreground())
            log("clipboard text: %r" % self.wine.tool("clip-get", windows_path(self.clip_out)))
        except (Failure, OSError) as error:
            log("no diagnosis: %s" % error)

    def start_notepad(self):
        self.wine.start("notepad.exe")
        wait_for(lambda: self.windows(NOTEPAD_TITLE), "wine's Notepad", timeout=30)

    @staticmethod
    def window_search(options):
        value = options.get("Options", "Window Search", fallback=None)
        return {} if value is None else {"Window Search": value}

    @staticmethod
    def rows(database):
        with sqlite3.connect("file:%s?mode=ro" % database, uri=True) as db:
            result = {table: db.execute("select * from %s" % table).fetchall()
                      for table in ("FAQ", "FAQKeywords", "FAQAttachments")}
        db.close()
        return result

    @staticmethod
    def message_text(database, hotword):
        with sqlite3.connect("file:%s?mode=ro" % database, uri=True) as db:
            row = db.execute("select Text from FAQ where Hotword = ?", (hotword,)).fetchone()
        db.close()
        return row[0] if row else None


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--installer-dir", required=True)
    parser.add_argument("--wintool", required=True)
    parser.add_argument("--measure", type=int, default=0, help="also time this many sends (figures only)")
    args = parser.parse_args()
    check(os.environ.get("DISPLAY"), "DISPLAY set (run through with-x11.sh --no-wm)")

    work = tempfile.mkdtemp(prefix="wine-e2e.")
    wine = Wine(os.path.join(work, "prefix"), os.path.abspath(args.wintool))
    test = EndToEnd(wine, work, args.installer_dir)
    started = time.monotonic()
    try:
        test.run(args.measure)
        status = 0
    except (Failure, subprocess.TimeoutExpired, OSError, sqlite3.Error, KeyError) as error:
        log("FAIL: %s" % error)
        test.diagnose()
        status = 1
    finally:
        wine.stop()
        shutil.rmtree(work, ignore_errors=True)
    for name, value in test.figures.items():
        log("figure: %s = %s" % (name, value))
    log("%s in %.0f s" % ("PASS" if status == 0 else "FAIL", time.monotonic() - started))
    return status


if __name__ == "__main__":
    sys.exit(main())
