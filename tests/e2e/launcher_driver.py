"""Plays the launcher from outside, as a player would, for the end-to-end tests and scripts/demo.

The launcher (OrvelClient.exe with our node.dll, copied into a private folder) runs under Wine on
the X display in DISPLAY, against demo/publisher.py on 127.0.0.1:18480. Input is real X input
(xdotool); what the player sees of the windows (titles, classes, places, message box texts and
buttons, screen colours) comes from window_probe.exe, which runs beside the launcher in the same
Wine prefix; the rest is observed outside: the publisher's request log, the file the stand-in
installer writes (it also stands in for the shell's handler of http addresses, so a page the
launcher opens in the shell is recorded too), process exit codes.
"""
import contextlib
import getpass
import hashlib
import json
import os
import re
import shutil
import signal
import socket
import struct
import subprocess
import sys
import threading
import time
import urllib.request
from pathlib import Path
from urllib.parse import quote

ROOT = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(ROOT / "tools"))
from check_pe import PE  # noqa: E402 (the build's own reader of programs' resources)
WINE64 = "/usr/lib/wine/wine64"
PUBLISHER = ("127.0.0.1", 18480)
PUBLISHER_URL = "http://127.0.0.1:18480"
# The test build of the launcher for a publisher on https (tests/e2e/CMakeLists.txt).
PUBLISHER_HTTPS_URL = "https://127.0.0.1:18480"

# What the launcher's skin and build say (skin/qemox/config.xml.in).
OWN_VERSION = "2020111203"
NEWER_VERSION = "2020111204"
GAME, AGENT = "qemox", "Velmark"
GAME_TITLE = "Tolma Launcher"
EXIT_QUESTION = "Bạn muốn thoát không?"
UPDATE_FAILED = "Update failed,please download new version from website"
UPDATE_NOT_VERIFIED = "The update could not be verified, please download the new version from the website"
INSTALLER_SWITCHES = " /SILENT /norestart "
USER_AGENT = ("Mozilla/5.0 (Windows NT 6.1) AppleWebKit/537.36 (KHTML, like Gecko) "
              "Chrome/86.0.4240.111 Safari/537.36 OrvelClient/2.0")

# The launcher's browser profile, kept from run to run under the Wine prefix's %LOCALAPPDATA%.
PROFILE_MARK = "/AppData/Local/Tolma Launcher/Browser"
CLEAN_PROFILE = "--clean-profile"

# Window classes of the launcher's windows.
LOGIN_CLASS, GAME_CLASS, UPDATE_CLASS = "LoginWnd", "ORVEL_GAME_HOST", "UpdateWnd"
POPUP_CLASS, DIALOG_CLASS = "WkeWebWindow", "#32770"

# Where the player clicks. The login view sits at 264,129 in the login window (skin login.xml);
# inside it demo/site/login.html centres its form. Points are client coordinates of the window.
LOGIN_VIEW = (264, 129)
LOGIN_USER = (LOGIN_VIEW[0] + 280, LOGIN_VIEW[1] + 137)
LOGIN_PASSWORD = (LOGIN_VIEW[0] + 280, LOGIN_VIEW[1] + 196)
LOGIN_BUTTON = (LOGIN_VIEW[0] + 280, LOGIN_VIEW[1] + 243)
LOGIN_BUTTON_FACE = (LOGIN_BUTTON[0] - 100, LOGIN_BUTTON[1])  # beside its text
# demo/site/game.html fixes the sizes of what is clicked, measured from the view's right and
# bottom edges: header links 130 wide in a 30-high bar 12 from the right; bridge buttons 28 high,
# 4 apart, in a panel 12 from the right and bottom with a border of 1 and a padding of 10.
GAME_LINKS = {"news": 12 + 130 * 2 + 65, "top-up": 12 + 130 + 65, "guide": 12 + 65}
GAME_LINK_Y = 15
BRIDGE_BUTTONS = ["closeWindow", "ExitGameToLogin", "SetTitleText", "WindowReturn"]
BRIDGE_BUTTON_X = 12 + 1 + 10 + 115
# The "orvelclient.js loaded" badge (demo/site/client/orvelclient.js): green, 12 from the left
# and the bottom, about 22 high, with round ends; this point is inside its left end, before the text.
BADGE_POINT = (16, 23)


# A launcher's first window comes after its browser has started and the update check: seconds
# usually, but a cold browser start on a machine busy with other builds has taken over a minute.
FIRST_WINDOW_SECONDS = 150


class Failure(Exception):
    pass


def log(text):
    print(f"[{time.strftime('%H:%M:%S')}] {text}", file=sys.stderr, flush=True)


def wait_for(what, seconds, check, interval=0.2):
    """Polls check() until it returns something true, which it returns; Failure at the deadline."""
    deadline = time.monotonic() + seconds
    while True:
        value = check()
        if value:
            return value
        if time.monotonic() >= deadline:
            raise Failure(f"no {what} within {seconds} s")
        time.sleep(interval)


def windows_path(path):
    """Wine's name of a local path: C: for the prefix's own drive, which is how the programs
    installed there see themselves, else Z: (the root in every prefix)."""
    path = Path(path).resolve()
    drive_c = Path(os.environ.get("WINEPREFIX", "/nonexistent")).resolve() / "drive_c"
    if path.is_relative_to(drive_c):
        return "C:\\" + str(path.relative_to(drive_c)).replace("/", "\\")
    return "Z:" + str(path).replace("/", "\\")


RT_VERSION = 16


def product_version(program):
    """The "ProductVersion" text of a program's version resource."""
    try:
        resources = PE(Path(program).read_bytes()).resources()
    except (OSError, ValueError, struct.error) as error:
        raise Failure(f"{program} cannot be read: {error}") from None
    resource = next((data for (kind, _), data in resources.items() if kind == RT_VERSION), b"")
    key = "ProductVersion\0".encode("utf-16-le")
    at = resource.find(key)
    if at < 0:
        raise Failure(f"{program} has no ProductVersion")
    # The value follows its key at the next 32-bit boundary, up to its terminating zero.
    at += len(key) + (-(at + len(key)) % 4)
    end = at
    while end + 1 < len(resource) and resource[end:end + 2] != b"\0\0":
        end += 2
    return resource[at:end].decode("utf-16-le", "replace")


def without_menu_builder(env):
    """The environment with Wine's menu builder off: the Start menu shortcut that the launcher's
    setup makes (also when the launcher's update starts it) stays in the prefix instead of going
    into this machine's menus."""
    overrides = env.get("WINEDLLOVERRIDES", "")
    return dict(env, WINEDLLOVERRIDES=f"{overrides};winemenubuilder.exe=d" if overrides else "winemenubuilder.exe=d")


def prefix_path(windows):
    """The path here of a path on the Wine prefix's drive C:."""
    if not windows.upper().startswith("C:\\"):
        raise Failure(f"{windows!r} is not on the prefix's drive C:")
    return Path(os.environ["WINEPREFIX"]) / "drive_c" / windows[3:].replace("\\", "/")


class Build:
    def __init__(self, build_dir):
        build_dir = Path(build_dir).resolve()
        self.dir = build_dir
        self.launcher = build_dir / "app" / "OrvelClient.exe"
        self.https_launcher = build_dir / "tests" / "e2e" / "https" / "OrvelClient.exe"
        self.engine = build_dir / "engine" / "node.dll"
        self.installer = build_dir / "tests" / "update" / "recording_installer.exe"
        self.probe = build_dir / "tests" / "e2e" / "window_probe.exe"
        self.trust_ca = build_dir / "tests" / "e2e" / "trust_ca.exe"
        self.work = build_dir / "e2e"
        for path in (self.launcher, self.https_launcher, self.engine, self.installer, self.probe, self.trust_ca):
            if not path.is_file():
                raise Failure(f"{path} is missing: build the x86_64 tree with tests first")
        # The private half of the key the launcher was built with: the publisher signs with it.
        cache = (build_dir / "CMakeCache.txt").read_text(encoding="utf-8", errors="replace")
        key = re.search(r"^ORVEL_UPDATE_SIGNING_KEY:FILEPATH=(.+)$", cache, re.M)
        self.signing_key = Path(key.group(1).strip()) if key else None
        if not self.signing_key or not self.signing_key.is_file():
            raise Failure("the build names no ORVEL_UPDATE_SIGNING_KEY (scripts/test passes one)")


def port_free():
    with socket.socket() as s:
        # As the publisher binds: a port left in TIME_WAIT by the last run is free.
        s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        try:
            s.bind(PUBLISHER)
            return True
        except OSError:
            return False


class Publisher:
    """demo/publisher.py on the publisher port, with its request log. `options` are its own
    command-line options beyond the log, as a list."""

    def __init__(self, log_file, options):
        self.log_file = Path(log_file)
        self.messages = self.log_file.with_suffix(".err")
        self.options = options
        self.process = None

    def start(self):
        # Another checkout's tests may hold the port for a while; ours wait for it.
        deadline = time.monotonic() + 240
        while self.process is None:
            if not port_free():
                if time.monotonic() >= deadline:
                    raise Failure("127.0.0.1:18480 stays in use")
                time.sleep(0.5)
                continue
            command = [sys.executable, str(ROOT / "demo" / "publisher.py"), "--log", str(self.log_file)]
            command += self.options
            # The publisher says on its standard error when it listens. Asking the port would not
            # do: another checkout's publisher may have taken it since the check above.
            with open(self.messages, "wb") as messages:
                process = subprocess.Popen(command, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                           stderr=messages)
            try:
                wait_for("publisher", 10, lambda: process.poll() is not None or self.announced())
            except Failure:
                process.kill()
                process.wait()
                raise
            if process.poll() is None:
                self.process = process
            # else someone took the port between the check and the start: wait again

    def announced(self):
        return self.messages.read_bytes().startswith(b"publisher on ")

    def stop(self):
        if self.process and self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(5)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()

    def requests(self, path=None):
        """Logged requests as dicts (status, method, target, path, agent), of one path if given."""
        if not self.log_file.exists():
            return []
        found = []
        for line in self.log_file.read_text(encoding="utf-8").splitlines():
            fields = line.split("\t")
            if len(fields) != 5:
                continue
            entry = {"status": fields[1], "method": fields[2], "target": fields[3],
                     "path": fields[3].split("?")[0], "agent": fields[4]}
            if path is None or entry["path"] == path:
                found.append(entry)
        return found

    def wait_request(self, path, seconds, count=1):
        return wait_for(f"request for {path} (x{count})", seconds,
                        lambda: (lambda r: r if len(r) >= count else None)(self.requests(path)))

    def check_page_agents(self):
        """Every request of a page (all but the launcher's own update downloads) carries the
        launcher's user agent."""
        for entry in self.requests():
            if entry["path"].startswith(f"/client/{GAME}/{AGENT}/"):
                continue
            if entry["agent"] != USER_AGENT:
                raise Failure(f"{entry['target']} was asked for with the user agent {entry['agent']!r}")


class Session:
    """One player's session: a private app folder, the publisher, the launchers started from the
    folder, and everything they start. Use with `with`: it ends every process it started and puts
    back what it changed in the Wine prefix.

    The launchers are the build's, copied into the session's folder, or those installed in `app`
    (an Installation's folder), used where they are.

    The publisher offers `version` and serves `installer` (signed with the build's key unless
    `signed` is false), over `download_seconds`; `agent` is the Agent its documents name, and
    `publisher_options` go to it as they are (demo/publisher.py). With `tls` the launcher is the
    build's https one and the publisher serves https with a certificate of a test authority that
    only this session's Wine prefix and browser trust. With `record_shell` the stand-in installer
    is the prefix's handler of http addresses while the session runs."""

    def __init__(self, build, name, version=OWN_VERSION, installer=None, download_seconds=0, out=None, signed=True,
                 agent=None, publisher_options=(), tls=False, record_shell=False, app=None):
        self.build = build
        self.name = name
        self.dir = Path(out) if out else build.work / f"{name}-{os.getpid()}"
        if not out and self.dir.exists():
            shutil.rmtree(self.dir)
        self.dir.mkdir(parents=True, exist_ok=True)
        self.app = Path(app) if app else self.dir / "app"
        if not app:
            self.app.mkdir(exist_ok=True)
            shutil.copy2(build.https_launcher if tls else build.launcher, self.app)
            shutil.copy2(build.engine, self.app)
        self.record_file = self.dir / "installer-record.txt"
        options = ["--version", version, *publisher_options]
        if installer:
            options += ["--installer", str(installer), "--download-seconds", str(download_seconds)]
            if signed:
                options += ["--key", str(build.signing_key)]
        if agent:
            options += ["--agent", agent]
        self.tls = TestAuthority(self.dir / "tls") if tls else None
        if self.tls:
            options += ["--tls-cert", str(self.tls.server_cert), "--tls-key", str(self.tls.server_key)]
        self.record_shell = record_shell
        self.shell_handler = None  # (what the prefix had for http addresses,) while the session's is in
        self.publisher = Publisher(self.dir / "publisher.log", options)
        self.launcher = None
        self.shots = 0
        self.screenshots = bool(out) and shutil.which("import") is not None
        self.browsers_before = set()
        self.env = without_menu_builder(os.environ)
        self.env["ORVEL_RECORD_FILE"] = windows_path(self.record_file)
        # The engine's DevTools traffic, for the failure's report (every launcher of the session
        # appends to it).
        self.devtools_log = self.dir / "devtools.log"
        self.env["WKE_DEVTOOLS_LOG"] = windows_path(self.devtools_log)
        self.env.setdefault("WINEDEBUG", "-all")
        self.answer_times = []  # (phase, windows with their longest answer times), see watch
        if self.tls:
            # The browser inherits the launcher's environment: its trust anchors come from this
            # HOME's NSS database, which no other browser reads.
            self.env["HOME"] = str(self.tls.home)

    def __enter__(self):
        self.browsers_before = self.browser_processes()
        try:
            if self.tls:
                self.tls.make()
                self.wine(self.build.trust_ca, "add", windows_path(self.tls.ca_cert))
            if self.record_shell:
                self.shell_handler = (registry_value(HTTP_HANDLER_KEY) or None,)
                self.wine("reg", "add", HTTP_HANDLER_KEY, "/ve", "/d",
                          f'"{windows_path(self.build.installer)}" "%1"', "/f")
            self.publisher.start()
        except BaseException:
            self.restore_prefix()
            raise
        return self

    def __exit__(self, kind, value, trace):
        if kind is not None:
            self.screenshot("failure")
            # What there was to see, for the failure's report.
            log(f"windows: {self.probe()[0]}")
            log(f"launchers: {self.launcher_processes()}, requests: {[r['target'] for r in self.publisher.requests()]}")
            log(devtools_summary(self.devtools_log))
        self.end_processes()
        self.publisher.stop()
        self.restore_prefix()
        if kind is None and not self.screenshots:
            shutil.rmtree(self.dir, ignore_errors=True)  # a failed run's folder stays, to be read
        return False

    # --- the Wine prefix ---

    def wine(self, program, *arguments):
        """Runs a program of the prefix (a name or a path) to its end; Failure unless it exits with 0."""
        program = windows_path(program) if isinstance(program, Path) else program
        result = subprocess.run([WINE64, program, *arguments], env=self.env, stdin=subprocess.DEVNULL,
                                capture_output=True, timeout=60)
        if result.returncode != 0:
            raise Failure(f"{program} {' '.join(arguments)} failed: {result.stderr.decode('utf-8', 'replace')}")

    def open_in_shell(self, address):
        """Hands an address to the shell (ShellExecuteExW, through Wine's start), as a browser
        hands over a link of a protocol it does not know. What it starts outlives the call and
        keeps no output of ours open."""
        code = subprocess.run([WINE64, "start", address], env=self.env, stdin=subprocess.DEVNULL,
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60).returncode
        if code != 0:
            raise Failure(f"the shell could not open {address} (exit code {code})")

    def restore_prefix(self):
        if self.tls and self.tls.ca_cert.exists():
            self.wine(self.build.trust_ca, "remove", windows_path(self.tls.ca_cert))
        if self.shell_handler is not None:
            old = self.shell_handler[0]
            self.shell_handler = None
            if old is None:
                self.wine("reg", "delete", HTTP_HANDLER_KEY, "/ve", "/f")
            else:
                self.wine("reg", "add", HTTP_HANDLER_KEY, "/ve", "/d", old, "/f")

    # --- processes ---

    def start_launcher(self, *arguments):
        self.launcher = subprocess.Popen([WINE64, windows_path(self.app / "OrvelClient.exe"), *arguments],
                                         cwd=self.app, env=self.env, stdin=subprocess.DEVNULL,
                                         stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        return self.launcher

    def wait_exit(self, seconds):
        """The exit code of the launcher this session started."""
        try:
            return self.launcher.wait(seconds)
        except subprocess.TimeoutExpired:
            raise Failure(f"the launcher did not end within {seconds} s") from None

    @staticmethod
    def processes(matches):
        found = []
        for entry in Path("/proc").iterdir():
            if not entry.name.isdigit() or int(entry.name) == os.getpid():
                continue
            try:
                command = (entry / "cmdline").read_bytes().replace(b"\0", b" ").decode("utf-8", "replace")
            except OSError:
                continue
            if matches(command):
                found.append(int(entry.name))
        return found

    def launcher_processes(self):
        """Launchers of this folder, also those started by another launcher (Wine names them by
        their Windows path)."""
        unix = str(self.app) + "/OrvelClient.exe"
        wine = windows_path(self.app).lower() + "\\orvelclient.exe"
        return self.processes(lambda c: unix in c or wine in c.lower())

    @staticmethod
    def browser_processes():
        # The launcher's browser and its watchdog, on the player's profile in this Wine prefix.
        prefix = os.environ.get("WINEPREFIX", "")
        return set(Session.processes(lambda c: PROFILE_MARK in c and prefix in c))

    def peak_working_set_mib(self):
        """The largest peak working set (resident memory) of this folder's running launchers."""
        peaks = [0]
        for pid in self.launcher_processes():
            try:
                status = Path(f"/proc/{pid}/status").read_text()
            except OSError:
                continue
            peak = re.search(r"^VmHWM:\s+(\d+) kB", status, re.M)
            if peak:
                peaks.append(int(peak.group(1)) / 1024)
        return max(peaks)

    @contextlib.contextmanager
    def watch(self, phase):
        """Measures, while the block runs, how long each window of the launchers takes to answer
        (window_probe.exe --watch); the results go to answer_times and the log."""
        command = [WINE64, str(self.build.probe), "--watch", windows_path(self.app)]
        watcher = subprocess.Popen(command, env=self.env, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                   stderr=subprocess.DEVNULL)
        try:
            yield
        finally:
            out, _ = watcher.communicate(timeout=60)  # its input ends: it reports and ends
            windows = [json.loads(line) for line in out.decode("utf-8", "replace").splitlines() if line.strip()]
            self.answer_times.append((phase, windows))
            longest = ", ".join(f"{w['class']} {w['title']!r} {w['longest_ms']} ms ({w['probes']} probes)"
                                for w in windows)
            log(f"longest time without answering, {phase}: {longest or 'no window'}")

    def listening_sockets(self):
        """(pid, port) of every listening TCP socket that a launcher of this folder or a process
        of its browser holds."""
        listening = {}
        for table in ("/proc/net/tcp", "/proc/net/tcp6"):
            try:
                rows = Path(table).read_text().splitlines()[1:]
            except OSError:
                continue
            for row in rows:
                fields = row.split()
                if len(fields) > 9 and fields[3] == "0A":  # LISTEN
                    listening[fields[9]] = int(fields[1].rsplit(":", 1)[1], 16)
        found = []
        for pid in set(self.launcher_processes()) | self.browser_processes():
            try:
                links = [os.readlink(f) for f in Path(f"/proc/{pid}/fd").iterdir()]
            except OSError:
                continue
            for link in links:
                inode = link[len("socket:["):-1] if link.startswith("socket:[") else None
                if inode in listening:
                    found.append((pid, listening[inode]))
        return found

    def end_processes(self):
        # Killing a launcher closes its browser's lifeline, and the watchdog ends the browser;
        # whatever remains is ended here too.
        for pid in self.launcher_processes():
            self.kill(pid)
        if self.launcher:
            try:
                self.launcher.wait(10)
            except subprocess.TimeoutExpired:
                log("the launcher does not end")
        deadline = time.monotonic() + 10
        while True:
            left = self.browser_processes() - self.browsers_before
            if not left or time.monotonic() >= deadline:
                break
            time.sleep(0.2)
        for pid in left:
            self.kill(pid)

    @staticmethod
    def kill(pid):
        try:
            os.kill(pid, signal.SIGKILL)
        except OSError:
            pass

    # --- what the player sees ---

    def probe(self, points=()):
        """(windows of this folder's launchers, colours at the given points). A point is a screen
        point (x, y) or a client point (window, x, y) of a window the probe listed, read where the
        window is now; its colour is None when the window is gone."""
        arguments = [f"{p[0]['hwnd']}:{p[1]},{p[2]}" if len(p) == 3 else f"{p[0]},{p[1]}" for p in points]
        command = [WINE64, str(self.build.probe), windows_path(self.app)] + arguments
        result = subprocess.run(command, env=self.env, stdin=subprocess.DEVNULL, capture_output=True, timeout=30)
        windows, colours = [], []
        for line in result.stdout.decode("utf-8", "replace").splitlines():
            try:
                item = json.loads(line)
            except ValueError:
                continue
            if "point" in item:
                colours.append(tuple(item["rgb"]) if item["rgb"] else None)
            else:
                windows.append(item)
        return windows, colours

    def windows(self, cls, title=None):
        return [w for w in self.probe()[0] if w["class"] == cls and (title is None or w["title"] == title)]

    def wait_window(self, cls, title, seconds, exclude_pids=()):
        return wait_for(f"{cls} window {title!r}", seconds,
                        lambda: next((w for w in self.windows(cls, title) if w["pid"] not in exclude_pids), None))

    def current(self, window):
        """A window as it is now. A window's place may change after it was first seen (the player,
        the window manager or the launcher may move it)."""
        now = next((w for w in self.probe()[0] if w["hwnd"] == window["hwnd"]), None)
        if now is None:
            raise Failure(f"the {window['class']} window {window['title']!r} is gone")
        return now

    def colour_at(self, window, point):
        """The colour the screen shows at a client point of the window, wherever it is now."""
        return self.probe([(window, *point)])[1][0]

    def wait_colour(self, what, window, point, seconds, accept):
        seen = [None]

        def check():
            seen[0] = self.colour_at(window, point)
            return seen[0] is not None and accept(seen[0])

        try:
            return wait_for(what, seconds, check)
        except Failure as failure:
            raise Failure(f"{failure} (the last colour at client point {point} was {seen[0]})") from None

    def screenshot(self, label):
        if not self.screenshots:
            return
        self.shots += 1
        file = self.dir / f"{self.shots:02d}-{label}.png"
        subprocess.run(["import", "-display", os.environ.get("DISPLAY", ""), "-window", "root", str(file)],
                       stdin=subprocess.DEVNULL, capture_output=True, timeout=30)
        log(f"screenshot {file.name}")

    # --- what the player does ---

    @staticmethod
    def xdotool(*args):
        subprocess.run(["xdotool", *map(str, args)], check=True, stdin=subprocess.DEVNULL, timeout=30)

    def click(self, window, point):
        """A real pointer click at a client point of a window, where the window is now."""
        window = self.current(window)
        self.xdotool("mousemove", window["client"][0] + point[0], window["client"][1] + point[1], "click", 1)

    def type(self, text):
        self.xdotool("type", "--delay", 60, text)

    def key(self, keys):
        self.xdotool("key", "--clearmodifiers", keys)

    def answer(self, dialog, button):
        """Clicks a message box's button by its text (its accelerator mark ignored)."""
        for b in self.current(dialog)["buttons"]:
            if b["text"].replace("&", "") == button:
                self.xdotool("mousemove", b["x"], b["y"], "click", 1)
                return
        raise Failure(f"the message box has no {button} button: {dialog['buttons']}")

    def wait_dialog(self, seconds):
        return wait_for("message box", seconds, lambda: next(iter(self.windows(DIALOG_CLASS)), None))


class SoundMonitor:
    """Records what the run's sound server plays (scripts/lib/common.sh orvel_start_sound) while it
    is open: the loudest 50 ms of it, as the RMS of 16-bit mono samples, and its pitch."""

    RATE = 44100
    CHUNK = RATE // 20 * 2  # 50 ms of s16le mono

    def __init__(self):
        monitor = os.environ.get("ORVEL_SOUND_MONITOR")
        if not monitor or not os.environ.get("PULSE_SERVER"):
            raise Failure("no sound server for the run (scripts/test starts one)")
        self.loudest = 0.0
        self.pitch = 0.0  # Hz, of the loudest 50 ms, from its zero crossings
        self.recorder = subprocess.Popen(["parec", "-d", monitor, "--raw", "--format=s16le", "--rate=44100",
                                          "--channels=1", "--latency-msec=50"],
                                         stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        self.reader = threading.Thread(target=self.read, daemon=True)
        self.reader.start()

    def read(self):
        while True:
            chunk = self.recorder.stdout.read(self.CHUNK)
            if not chunk:
                return
            count = len(chunk) // 2
            samples = struct.unpack(f"<{count}h", chunk[:count * 2])
            loudness = (sum(s * s for s in samples) / max(count, 1)) ** 0.5
            if loudness > self.loudest:
                crossings = sum(1 for a, b in zip(samples, samples[1:]) if (a < 0) != (b < 0))
                self.loudest, self.pitch = loudness, crossings / 2 / (count / self.RATE)

    def wait_tone(self, what, seconds, low, high, floor=300):
        """Waits until a tone between `low` and `high` Hz, at least `floor` loud, has played (silence
        reads 0). The loudest 50 ms decide, so the tone's first, half-silent ones do not."""
        try:
            wait_for(what, seconds, lambda: self.loudest >= floor and low <= self.pitch <= high)
        except Failure:
            raise Failure(f"no {what} within {seconds} s: the loudest sound was RMS {self.loudest:.0f} "
                          f"at {self.pitch:.0f} Hz") from None
        return self.loudest, self.pitch

    def close(self):
        self.recorder.terminate()
        self.recorder.wait(10)
        self.reader.join(10)


def devtools_summary(path, last_lines=8):
    """What the engine's DevTools trace (CdpConnection's WKE_DEVTOOLS_LOG format: tick in ms,
    direction, message) says about each view's page: the address it was sent to, when its
    screencast started, how many frames came and how many were acknowledged; then the last lines
    other than frames and bare answers."""
    try:
        lines = Path(path).read_text(encoding="utf-8", errors="replace").splitlines()
    except OSError:
        return "no DevTools trace"
    pages = {}  # session -> facts, in the order the screencasts started
    others = []
    for line in lines:
        fields = line.split(" ", 2)
        if len(fields) != 3:
            continue
        tick, direction, text = fields
        # The session of a command or event is the message's last member.
        session = re.search(r'"sessionId":"([0-9A-Fa-f]+)"\}$', text)
        facts = pages.get(session.group(1)) if session else None
        if session and direction == ">" and '"method":"Page.startScreencast"' in text:
            pages[session.group(1)] = {"url": "", "start": tick, "frames": 0, "last": None, "acks": 0}
        elif facts and direction == "<" and '"method":"Page.screencastFrame"' in text:
            facts["frames"] += 1
            facts["last"] = tick
        elif facts and direction == ">" and '"method":"Page.screencastFrameAck"' in text:
            facts["acks"] += 1
        else:
            if facts and direction == ">" and '"method":"Page.navigate"' in text:
                url = re.search(r'"url":"([^"]*)"', text)
                facts["url"] = url.group(1) if url else "?"
            if not re.match(r'\{"id":\d+,"result":\{\}', text):  # bare acknowledgements say nothing
                others.append(line)
    end = lines[-1].split(" ", 1)[0] if lines else None
    report = [f"DevTools trace {path}: {len(lines)} lines, the last at {end}"]
    for session, facts in pages.items():
        report.append(f"  view {session[:8]} {facts['url'] or '(not navigated)'}: screencast from {facts['start']}, "
                      f"{facts['frames']} frames (last at {facts['last']}), {facts['acks']} acknowledged")
    report += [f"  {line[:200]}" for line in others[-last_lines:]]
    return "\n".join(report)


# --- steps shared by the scenarios and the demo ---

def is_login_button(rgb):
    # The "Log in" button's orange-yellow gradient, on a dark blue page.
    r, g, b = rgb
    return r > 200 and g > 140 and r - b > 80


def is_badge(rgb):
    r, g, b = rgb
    return g > 90 and g - r > 50 and g - b > 40


def log_in(session, user="player1", password="secret"):
    """From a started launcher to the game window: waits for the login page to show, types the
    credentials and clicks "Log in". Returns the game window."""
    login = session.wait_window(LOGIN_CLASS, "Login", FIRST_WINDOW_SECONDS)
    page = session.publisher.wait_request("/login.html", 30)
    if page[0]["agent"] != USER_AGENT:
        raise Failure(f"the login page was asked for with the user agent {page[0]['agent']!r}")
    session.wait_colour("login form on the screen", login, LOGIN_BUTTON_FACE, 30, is_login_button)
    session.screenshot("login-window")
    session.click(login, LOGIN_USER)
    session.type(user)
    session.click(login, LOGIN_PASSWORD)
    session.type(password)
    session.screenshot("login-filled")
    # The launcher defines LoadGame one second after the page is ready; a click before that gets
    # the page's "open this page in the launcher" answer and the button comes back: click again.
    deadline = time.monotonic() + 30
    while True:
        session.click(login, LOGIN_BUTTON)
        try:
            game = session.wait_window(GAME_CLASS, GAME_TITLE, 5)
            break
        except Failure:
            if time.monotonic() >= deadline:
                raise
    entry = session.publisher.wait_request("/game.html", 30)[0]
    if entry["target"] != f"/game.html?user={user}&desktopType=1":
        raise Failure(f"the game window asked for {entry['target']}")
    session.publisher.wait_request("/client/orvelclient.js", 30)
    # What the client script puts on the page shows that the page is drawn and took the script.
    session.wait_colour("client script badge on the screen", game, bottom_left(game, BADGE_POINT), 30, is_badge)
    session.screenshot("game-window")
    return game


def bottom_left(window, offset):
    return (offset[0], window["client"][3] - offset[1])


def game_link(game, name):
    return (game["client"][2] - GAME_LINKS[name], GAME_LINK_Y)


def bridge_button(game, command):
    from_bottom = len(BRIDGE_BUTTONS) - 1 - BRIDGE_BUTTONS.index(command)
    return (game["client"][2] - BRIDGE_BUTTON_X, game["client"][3] - 12 - 1 - 10 - 4 - 14 - 32 * from_bottom)


def game_centre(game):
    return (game["client"][2] // 2, game["client"][3] // 2)


def expected_confirmation(crystals_left=2):
    # The page's callFlash answer (its \n a line break), then ExitSTR and a line break.
    return (f"Quest unfinished: {crystals_left} crystals still to deliver.\nYour progress is saved."
            f"\n{EXIT_QUESTION}\n")


def close_game(session, game, answer):
    """Alt+F4 on the game window; checks the confirmation's text and answers it."""
    session.click(game, game_centre(game))
    session.key("alt+F4")
    dialog = session.wait_dialog(20)
    session.screenshot("exit-confirmation")
    if dialog["text"] != expected_confirmation():
        raise Failure(f"the exit confirmation reads {dialog['text']!r}")
    session.answer(dialog, answer)
    wait_for("message box to close", 20, lambda: not session.windows(DIALOG_CLASS))


def close_login(session, login):
    """Alt+F4 on the login window; waits for every launcher of the session to end (one that a
    setup started too, which is no process of the session's own)."""
    session.click(login, (20, 20))
    session.key("alt+F4")
    wait_for("the launcher to end", 30, lambda: not session.launcher_processes())


def remembered(session, count):
    """What the login page found of the last player, at its `count`-th showing: (the name in local
    storage, the name in its cookie)."""
    entry = session.publisher.wait_request("/remembered", 30, count=count)[count - 1]
    query = dict(part.split("=", 1) for part in entry["target"].split("?", 1)[1].split("&"))
    return query.get("storage", ""), query.get("cookie", "")


def served_document(game=GAME, agent=AGENT):
    with urllib.request.urlopen(f"{PUBLISHER_URL}/client/{game}/{quote(agent)}/config.xml", timeout=30) as answer:
        return answer.read().decode("utf-8")


def sha256_of(path):
    return hashlib.sha256(Path(path).read_bytes()).hexdigest()


def records(session):
    """(command line, program path) of each start of the stand-in installer, as the installer or
    as the shell's handler of an address."""
    if not session.record_file.exists():
        return []
    text = session.record_file.read_bytes().decode("utf-16-le", "replace")
    return [tuple(line.split("\t", 1)) for line in text.split("\n") if "\t" in line]


def installer_records(session):
    """The starts of the stand-in as the installer: its command line ends with the switches."""
    return [r for r in records(session) if r[0].endswith(INSTALLER_SWITCHES)]


def shell_records(session):
    """The starts of the stand-in as the shell's handler of an address."""
    return [r for r in records(session) if not r[0].endswith(INSTALLER_SWITCHES)]


# The prefix's handler of http addresses, which ShellExecuteW "OPEN" of an address runs.
HTTP_HANDLER_KEY = r"HKLM\Software\Classes\http\shell\open\command"


def registry_value(key, name=None):
    """A value of a key of the prefix's registry (its default value without a name): its text,
    None when the key has no such value, False when there is no such key."""
    which = ["/v", name] if name else ["/ve"]
    result = subprocess.run([WINE64, "reg", "query", key, *which], stdin=subprocess.DEVNULL, capture_output=True,
                            timeout=60)
    if result.returncode != 0:
        exists = subprocess.run([WINE64, "reg", "query", key], stdin=subprocess.DEVNULL, capture_output=True,
                                timeout=60)
        return None if exists.returncode == 0 else False
    for line in result.stdout.decode("utf-8", "replace").splitlines():
        fields = re.split(r"\s{2,}|\t", line.strip(), maxsplit=2)
        if len(fields) == 3 and fields[1] in ("REG_SZ", "REG_EXPAND_SZ"):
            return fields[2]
    return None


class Installation:
    """The launcher as its setup program (installer/OrvelClient.nsi) installs it for the current
    user of the run's Wine prefix, and what the setup and the uninstaller leave there. Use with
    `with`: the prefix has no installation inside the block's start and end (the player's
    browser profile, which the other scenarios use too, is left alone)."""

    PROTOCOL_KEY = r"HKCU\Software\Classes\orvelclient"
    UNINSTALL_KEY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\OrvelClient"
    # Windows' shell reads the user's classes merged over the machine's; Wine's reads the machine's
    # alone, so a test copies the user's protocol there (expose_protocol) before the shell opens a link.
    MACHINE_PROTOCOL_KEY = r"HKLM\Software\Classes\orvelclient"

    def __init__(self):
        user = Path(os.environ["WINEPREFIX"]) / "drive_c" / "users" / getpass.getuser()
        if not user.is_dir():
            raise Failure(f"the Wine prefix has no user folder {user}")
        temp = subprocess.run([WINE64, "cmd", "/c", "echo", "%TEMP%"], stdin=subprocess.DEVNULL, capture_output=True,
                              timeout=60).stdout.decode("utf-8", "replace").strip()
        self.temp = prefix_path(temp)
        self.folder = user / "AppData" / "Local" / "Programs" / "Tolma Launcher"
        self.launcher = self.folder / "OrvelClient.exe"
        self.shortcut = user / "AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Tolma Launcher.lnk"
        self.data = user / "AppData" / "Local" / "Tolma Launcher"
        self.profile = self.data / "Browser"

    def __enter__(self):
        self.remove()
        return self

    def __exit__(self, kind, value, trace):
        self.remove()
        return False

    def start_setup(self, setup, *switches):
        """Starts a setup program, with the update window's switches unless others are given, and
        does not wait for it."""
        return subprocess.Popen([WINE64, windows_path(setup), *(switches or INSTALLER_SWITCHES.split())],
                                env=without_menu_builder(os.environ), stdin=subprocess.DEVNULL,
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def install(self, setup):
        """Installs silently, as the update window starts a setup, and waits for the setup's end."""
        process = self.start_setup(setup)
        try:
            code = process.wait(120)
        except subprocess.TimeoutExpired:
            process.kill()
            raise Failure(f"{setup.name} did not end within 120 s") from None
        if code != 0 or not self.launcher.is_file():
            raise Failure(f"{setup.name} ended with exit code {code}; installed: {self.launcher.is_file()}")

    def version(self):
        """The release version the Apps list names (None without an entry)."""
        return registry_value(self.UNINSTALL_KEY, "DisplayVersion")

    def shortcut_target(self):
        """The program the Start menu shortcut starts (the local path of its link information), as
        a path of this machine."""
        try:
            data = self.shortcut.read_bytes()
            flags = struct.unpack_from("<I", data, 0x14)[0]
            at = 0x4C  # after the header: the target's item list when there is one, then the link information
            if flags & 0x1:
                at += 2 + struct.unpack_from("<H", data, at)[0]
            if not flags & 0x2:
                raise Failure(f"{self.shortcut} has no link information")
            start = at + struct.unpack_from("<I", data, at + 16)[0]
            target = data[start:data.index(b"\0", start)].decode("ascii")
        except (OSError, struct.error, ValueError) as error:
            raise Failure(f"{self.shortcut} cannot be read: {error}") from None
        return prefix_path(target)

    def expose_protocol(self):
        """Copies the command the setup registered for "orvelclient://" links where Wine's shell
        looks for it."""
        command = registry_value(self.PROTOCOL_KEY + r"\shell\open\command")
        if not command:
            raise Failure(f"the setup registered no command under {self.PROTOCOL_KEY}")
        for arguments in (["/v", "URL Protocol", "/d", ""], ["/ve", "/d", command]):
            key = self.MACHINE_PROTOCOL_KEY + (r"\shell\open\command" if arguments[0] == "/ve" else "")
            result = subprocess.run([WINE64, "reg", "add", key, *arguments, "/f"], stdin=subprocess.DEVNULL,
                                    capture_output=True, timeout=60)
            if result.returncode != 0:
                raise Failure(f"reg add {key} failed: {result.stderr.decode('utf-8', 'replace')}")

    def plugin_folders(self):
        """The setup programs' temporary plug-in folders: one appears when a setup reaches its
        launcher check, and goes when it ends."""
        return {p.parent for p in self.temp.glob("ns*.tmp/System.dll")}

    def remains(self):
        """What of an installation is there, but for the player's profile: files and folders, then
        registry keys."""
        left = [str(p) for p in (self.folder, self.shortcut) if p.exists()]
        if self.data.is_dir():
            left += [str(p) for p in self.data.iterdir() if p != self.profile]
        return left + [key for key in (self.PROTOCOL_KEY, self.UNINSTALL_KEY) if registry_value(key) is not False]

    def processes(self):
        """Setup programs, uninstallers and the installed launchers."""
        folder = windows_path(self.folder).lower()
        return Session.processes(lambda c: any(mark in c.lower() for mark in (
            folder, "orvelclient-setup-", "\\tolma launcher\\updates\\update_", "\\au_.exe")))

    def remove(self):
        for pid in self.processes():
            Session.kill(pid)
        shutil.rmtree(self.folder, ignore_errors=True)
        self.shortcut.unlink(missing_ok=True)
        shutil.rmtree(self.data / "Updates", ignore_errors=True)
        shutil.rmtree(self.data / "logs", ignore_errors=True)
        for key in (self.PROTOCOL_KEY, self.UNINSTALL_KEY, self.MACHINE_PROTOCOL_KEY):
            subprocess.run([WINE64, "reg", "delete", key, "/f"], stdin=subprocess.DEVNULL, capture_output=True,
                           timeout=60)


def release(build, version, out):
    """scripts/release of the x86_64 launcher at `version` into `out`, signed with the build's key
    and built beside the build (its first run builds a tree of its own, which takes minutes).
    Returns (exit code, its messages)."""
    env = dict(os.environ, ORVEL_BUILD=str(build.dir.parent))
    env.pop("ORVEL_PUBLISHER_HOST", None)
    result = subprocess.run([str(ROOT / "scripts" / "release"), "--key", str(build.signing_key), "--arch", "x86_64",
                             version, str(out)], env=env, stdin=subprocess.DEVNULL, capture_output=True,
                            timeout=1500)
    return result.returncode, result.stderr.decode("utf-8", "replace")


class TestAuthority:
    """A certificate authority made for one session, the publisher's certificate from it (for
    127.0.0.1), and a HOME whose NSS database trusts it, for the browser."""

    def __init__(self, folder):
        self.folder = Path(folder)
        self.ca_cert = self.folder / "ca.pem"
        self.server_cert = self.folder / "server.pem"
        self.server_key = self.folder / "server.key"
        self.home = self.folder / "home"

    def make(self):
        self.folder.mkdir(parents=True, exist_ok=True)
        config = self.folder / "openssl.cnf"
        # Wine matches a host against the certificate's DNS names only, the browser an address
        # against its IP addresses: the name is in both forms.
        config.write_text("[req]\ndistinguished_name = dn\n[dn]\n"
                          "[ca]\nbasicConstraints = critical, CA:TRUE\nkeyUsage = critical, keyCertSign, cRLSign\n"
                          "subjectKeyIdentifier = hash\n"
                          "[server]\nbasicConstraints = CA:FALSE\n"
                          "keyUsage = critical, digitalSignature, keyEncipherment\nextendedKeyUsage = serverAuth\n"
                          "subjectAltName = IP:127.0.0.1, DNS:127.0.0.1\nauthorityKeyIdentifier = keyid\n")
        ca_key = self.folder / "ca.key"
        request = self.folder / "server.csr"
        for command in (
                ["req", "-x509", "-new", "-newkey", "rsa:2048", "-nodes", "-keyout", ca_key, "-out", self.ca_cert,
                 "-days", "2", "-subj", "/CN=Orvel end-to-end test authority", "-config", config, "-extensions", "ca"],
                ["req", "-new", "-newkey", "rsa:2048", "-nodes", "-keyout", self.server_key, "-out", request,
                 "-subj", "/CN=127.0.0.1", "-config", config],
                ["x509", "-req", "-in", request, "-CA", self.ca_cert, "-CAkey", ca_key, "-CAcreateserial",
                 "-out", self.server_cert, "-days", "2", "-extfile", config, "-extensions", "server"]):
            run_tool(["openssl", *map(str, command)])
        nssdb = self.home / ".pki" / "nssdb"
        nssdb.mkdir(parents=True, exist_ok=True)
        run_tool(["certutil", "-N", "-d", f"sql:{nssdb}", "--empty-password"])
        run_tool(["certutil", "-A", "-d", f"sql:{nssdb}", "-n", "orvel-test-authority", "-t", "C,,",
                  "-i", str(self.ca_cert)])


def run_tool(command):
    result = subprocess.run(command, stdin=subprocess.DEVNULL, capture_output=True, timeout=60)
    if result.returncode != 0:
        raise Failure(f"{command[0]} failed: {result.stderr.decode('utf-8', 'replace')}")


def document_value(document, key):
    match = re.search(f"<{key}>([^<]*)</{key}>", document)
    return match.group(1) if match else None
