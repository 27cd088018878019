#!/usr/bin/env python3
"""End-to-end scenarios: the launcher with our node.dll against the demonstration publisher, under
Wine on the current X display, played as a player would (see launcher_driver.py).

    scenarios.py <scenario> --build <x86_64 build folder> [--out <folder>] [--version <digits>]

Each scenario ends every process it started, also when it fails; it exits with 0 when it passed.
"demo" plays the whole tour (or the update when --version is newer) and keeps screenshots in --out.
"""
import argparse
import contextlib
import os
import re
import shutil
import subprocess
import sys
import time
from urllib.parse import quote

from launcher_driver import (AGENT, CLEAN_PROFILE, DIALOG_CLASS, EXIT_QUESTION, FIRST_WINDOW_SECONDS, GAME,
                             GAME_CLASS, GAME_TITLE, INSTALLER_SWITCHES, LOGIN_BUTTON_FACE, LOGIN_CLASS,
                             NEWER_VERSION, OWN_VERSION, POPUP_CLASS, PUBLISHER_URL, UPDATE_CLASS, UPDATE_FAILED,
                             UPDATE_NOT_VERIFIED, Build, Failure, Installation, Session, SoundMonitor, bridge_button,
                             close_game, close_login, document_value, game_centre, game_link, installer_records,
                             is_login_button, log, log_in, product_version, release, remembered, served_document,
                             sha256_of, shell_records, wait_for)

# An agent name whose letters the system's URL functions would send as "?".
VIETNAMESE_AGENT = "ĐạiLýViệt"


def login(build):
    """The login page in the login window with the launcher's user agent, typed into and
    submitted; the game window on the game address with desktopType=1 and the client script."""
    with Session(build, "login") as s:
        s.start_launcher()
        log_in(s)
        config = s.publisher.requests("/client/qemox/Velmark/config.xml")
        if len(config) != 1:
            raise Failure(f"{len(config)} update checks before the login window, not 1")
        if s.windows(LOGIN_CLASS):
            raise Failure("the login window is still there beside the game")
        s.publisher.check_page_agents()


def exit_confirmation(build):
    """The game page plays its chime through the system's sound when the player clicks its world.
    Closing the game asks with the page's callFlash text; No keeps the game, Yes ends the launcher
    with exit code 0."""
    with Session(build, "exit-confirmation") as s:
        s.start_launcher()
        game = log_in(s)
        sound = SoundMonitor()
        try:
            close_game(s, game, "No")  # its click on the game's world plays the chime
            # demo/site/game.html plays 660 Hz.
            loudness, pitch = sound.wait_tone("the game page's 660 Hz chime from the sound server", 20, 600, 720)
            log(f"the chime played at RMS {loudness:.0f}, {pitch:.0f} Hz")
        finally:
            sound.close()
        if s.launcher.poll() is not None or not s.windows(GAME_CLASS, GAME_TITLE):
            raise Failure("No ended the game")
        close_game(s, game, "Yes")
        code = s.wait_exit(30)
        if code != 0:
            raise Failure(f"the launcher ended with exit code {code}")
        s.publisher.check_page_agents()


def return_to_login(build):
    """The page's ExitGameToLogin: a new launcher checks for updates again and shows the login
    window; the first one ends with exit code 0."""
    with Session(build, "return-to-login") as s:
        s.start_launcher()
        game = log_in(s)
        first = game["pid"]
        s.click(game, bridge_button(game, "ExitGameToLogin"))
        code = s.wait_exit(30)
        if code != 0:
            raise Failure(f"the first launcher ended with exit code {code}")
        s.publisher.wait_request("/client/qemox/Velmark/config.xml", 60, count=2)
        s.wait_window(LOGIN_CLASS, "Login", FIRST_WINDOW_SECONDS, exclude_pids={first})
        s.publisher.wait_request("/login.html", 30, count=2)
        s.publisher.check_page_agents()


def kept_profile(build):
    """What the pages keep (local storage, a cookie with an expiry) is there at the next start, also
    after the launcher and its browser were killed; the clean-profile switch starts without it. No
    launcher or browser process listens on a TCP port meanwhile."""
    with Session(build, "kept-profile") as s:
        s.start_launcher(CLEAN_PROFILE)
        if remembered(s, 1) != ("", ""):
            raise Failure(f"a clean profile remembered {remembered(s, 1)}")
        game = log_in(s, user="player7")
        listening = s.listening_sockets()
        if listening:
            raise Failure(f"listening sockets (pid, port) while the game runs: {listening}")
        close_game(s, game, "Yes")
        if s.wait_exit(30) != 0:
            raise Failure("the launcher did not end with exit code 0")

        s.start_launcher()
        s.wait_window(LOGIN_CLASS, "Login", FIRST_WINDOW_SECONDS)
        if remembered(s, 2) != ("player7", "player7"):
            raise Failure(f"the next start remembered {remembered(s, 2)}, not player7 in storage and cookie")
        # The player's machine stops hard: launcher and browser are killed, nothing tidies up.
        for pid in set(s.launcher_processes()) | s.browser_processes():
            s.kill(pid)
        wait_for("launcher and browser to end", 20, lambda: not s.launcher_processes() and not s.browser_processes())

        s.start_launcher()
        login = s.wait_window(LOGIN_CLASS, "Login", FIRST_WINDOW_SECONDS)
        if remembered(s, 3) != ("player7", "player7"):
            raise Failure(f"after the kill the next start remembered {remembered(s, 3)}")
        s.click(login, (20, 20))
        s.key("alt+F4")
        if s.wait_exit(30) != 0:
            raise Failure("the login window's close did not end the launcher with exit code 0")

        s.start_launcher(CLEAN_PROFILE)
        s.wait_window(LOGIN_CLASS, "Login", FIRST_WINDOW_SECONDS)
        if remembered(s, 4) != ("", ""):
            raise Failure(f"the clean-profile switch still remembered {remembered(s, 4)}")
        s.publisher.check_page_agents()


def popups(build):
    """A link and a window.open of the game page each open a maximised popup with their page, with
    the launcher's user agent; the game page stays (its callFlash still answers at the end)."""
    with Session(build, "popups") as s:
        s.start_launcher()
        game = log_in(s)
        for link, path in (("news", "/home.html"), ("guide", "/support.html")):
            s.click(game, game_link(game, link))
            popup = s.wait_window(POPUP_CLASS, GAME_TITLE, 30)
            s.publisher.wait_request(path, 30)
            wait_for(f"popup of {path} maximised", 10,
                     lambda: all(w["maximized"] for w in s.windows(POPUP_CLASS)))
            s.screenshot(f"popup-{link}")
            # The player closes the popup to get back to the game.
            popup = s.current(popup)
            s.click(popup, (popup["client"][2] // 2, popup["client"][3] // 2))
            s.key("alt+F4")
            wait_for("popup to close", 20, lambda: not s.windows(POPUP_CLASS))
        if len(s.publisher.requests("/game.html")) != 1:
            raise Failure("the game page was loaded again")
        for path in ("/home.html", "/support.html"):
            if len(s.publisher.requests(path)) != 1:
                raise Failure(f"{path} was asked for {len(s.publisher.requests(path))} times, not once")
        close_game(s, game, "Yes")
        if s.wait_exit(30) != 0:
            raise Failure("the launcher did not end with exit code 0")
        s.publisher.check_page_agents()


def expect_installed(s, agent=AGENT):
    """The update window downloads the installer from the address of the document's agent (escaped
    as UTF-8), checks it and starts it from the launcher's own copy with the switches; the
    launcher ends with exit code 0 and nothing else opens."""
    s.wait_window(UPDATE_CLASS, "Update", FIRST_WINDOW_SECONDS)
    records = wait_for("installer start", 60, lambda: installer_records(s))
    command, program = records[0]
    if command != program + INSTALLER_SWITCHES:
        raise Failure(f"the installer was started as {command!r} (program {program!r})")
    if not re.search(r"\\AppData\\Local\\Tolma Launcher\\Updates\\update_[^\\]+\.exe$", program, re.I):
        raise Failure(f"the installer ran from {program!r}, not from the launcher's own folder")
    code = s.wait_exit(30)
    if code != 0:
        raise Failure(f"the launcher ended with exit code {code}")
    s.publisher.wait_request(f"/client/{GAME}/{quote(agent)}/update_{NEWER_VERSION}.exe", 5)
    if s.windows(LOGIN_CLASS) or s.windows(GAME_CLASS):
        raise Failure("a login or game window opened after the update")


# demo/site/hostile.html: its buttons' centres in the game view, and the launcher's memory bound.
HOSTILE_POPUP, HOSTILE_PAINT, HOSTILE_TRAP = (130, 85), (130, 155), (130, 225)
MEMORY_BOUND_MIB = 200


def hostile(build):
    """A game page that does what a hostile page can: forty popups without a click, two for one
    click, its console and title flooded and a 60 MiB answer while the launcher waits for it, alert
    after alert. No window for the flood, one for the click; the launcher lives within its memory
    bound and the view keeps painting; the player gets out of the alerts and can close the game.
    How long each window goes without answering is measured and reported."""
    with Session(build, "hostile") as s:
        with s.watch("start-up, page load, popup flood, one click's popup"):
            s.start_launcher(f"orvelclient://{PUBLISHER_URL}/hostile.html?user=p")
            game = s.wait_window(GAME_CLASS, GAME_TITLE, FIRST_WINDOW_SECONDS)
            flood = s.publisher.wait_request("/hostile-mark", 60)[0]["target"]
            if "flood=40&" not in flood:
                raise Failure(f"the browser gave the flooding page windows: {flood}")
            s.click(game, HOSTILE_POPUP)
            popup = s.wait_window(POPUP_CLASS, GAME_TITLE, 30)
            s.publisher.wait_request("/support.html", 30)
        # Everything the flood asked for came before the click, in order: had it made a window, it
        # would be here by now.
        popups = s.windows(POPUP_CLASS)
        if len(popups) != 1:
            raise Failure(f"{len(popups)} popup windows, not 1: {popups}")
        asked = [r["target"] for r in s.publisher.requests("/support.html")]
        if asked != ["/support.html?click=1"]:
            raise Failure(f"the popup pages asked for: {asked}")
        popup = s.current(popup)
        s.click(popup, (popup["client"][2] // 2, popup["client"][3] // 2))
        s.key("alt+F4")
        wait_for("popup to close", 20, lambda: not s.windows(POPUP_CLASS))

        with s.watch("the exit confirmation while the page floods and answers with 60 MiB"):
            s.click(game, game_centre(game))
            s.key("alt+F4")
            dialog = s.wait_dialog(120)
            s.publisher.wait_request("/hostile-mark", 30, count=2)
            if dialog["text"] != f"\n{EXIT_QUESTION}\n":
                raise Failure(f"the exit confirmation reads {dialog['text']!r}")
            s.answer(dialog, "No")
            wait_for("message box to close", 20, lambda: not s.windows(DIALOG_CLASS))
        if s.launcher.poll() is not None:
            raise Failure("the launcher ended under the flood")
        s.click(game, HOSTILE_PAINT)
        s.wait_colour("the page painted magenta after the flood", game, (600, 400), 60, lambda rgb: rgb == (255, 0, 255))

        with s.watch("alert after alert, then leaving"):
            s.click(game, HOSTILE_TRAP)
            shown = 0
            while True:
                found = wait_for("an alert, or the page's note that it has none", 30, lambda: next(
                    iter(s.windows(DIALOG_CLASS)), None) or any("dialogs=refused" in r["target"] for r in
                                                                s.publisher.requests("/hostile-mark")))
                if found is True:
                    break
                if found["text"] != "You cannot leave" or shown >= 8:
                    raise Failure(f"after {shown} alerts: {found}")
                s.answer(found, "OK")
                shown += 1
                wait_for("the alert to close", 20, lambda: found["hwnd"] not in [w["hwnd"] for w in s.windows(DIALOG_CLASS)])
            # The first and three quick ones, more when the player takes over 5 s for them.
            log(f"alerts shown before the page lost its dialogs: {shown}")
            if shown < 4:
                raise Failure(f"the page lost its dialogs after {shown} alerts")
            peak = s.peak_working_set_mib()
            s.click(game, game_centre(game))
            s.key("alt+F4")
            dialog = s.wait_dialog(30)
            if dialog["text"] != f"Leaving already?\n{EXIT_QUESTION}\n":
                raise Failure(f"the exit confirmation reads {dialog['text']!r}")
            s.answer(dialog, "Yes")
            code = s.wait_exit(30)
        if code != 0:
            raise Failure(f"the launcher ended with exit code {code}")
        log(f"peak working set of the launcher: {peak:.1f} MiB")
        if peak >= MEMORY_BOUND_MIB:
            raise Failure(f"the launcher's peak working set was {peak:.1f} MiB, the bound is {MEMORY_BOUND_MIB} MiB")
        s.publisher.check_page_agents()


def update(build):
    """A signed release whose agent is Vietnamese, its document sent one byte at a time, is
    downloaded, verified and installed."""
    # The download takes a few seconds, as over a real line, so that the window can be seen.
    with Session(build, "update", version=NEWER_VERSION, installer=build.installer, download_seconds=4,
                 agent=VIETNAMESE_AGENT, publisher_options=["--document-byte-writes"]) as s:
        s.start_launcher()
        expect_installed(s, VIETNAMESE_AGENT)
        document = served_document(agent=VIETNAMESE_AGENT)
        if (document_value(document, "Sha256") != sha256_of(build.installer) or
                not document_value(document, "Signature") or document_value(document, "Agent") != VIETNAMESE_AGENT):
            raise Failure(f"the served document is not the signed release:\n{document}")
        if s.publisher.requests(f"/client/{GAME}/{AGENT}/config.xml")[0]["target"] != \
                f"/client/{GAME}/{AGENT}/config.xml?ver{OWN_VERSION}":
            raise Failure("the update check asked for another document")


def expect_refused(s, text, page, fetched):
    """The update window shows the failure box with `text`, nothing is run, and once the box is
    answered the shell opens `page` and the launcher ends with exit code 0. `fetched`: whether the
    installer was to be downloaded at all."""
    s.start_launcher()
    s.wait_window(UPDATE_CLASS, "Update", FIRST_WINDOW_SECONDS)
    dialog = s.wait_dialog(60)
    if dialog["text"] != text:
        raise Failure(f"the failure box reads {dialog['text']!r}, not {text!r}")
    if shell_records(s) or installer_records(s):
        raise Failure("something ran before the box was answered")
    s.answer(dialog, "OK")
    opened = wait_for("the page opened in the shell", 30, lambda: shell_records(s))
    if len(opened) != 1 or page not in opened[0][0]:
        raise Failure(f"the shell opened {opened}, not {page}")
    code = s.wait_exit(30)
    if code != 0:
        raise Failure(f"the launcher ended with exit code {code}")
    if installer_records(s):
        raise Failure(f"an installer ran: {installer_records(s)}")
    downloads = s.publisher.requests(f"/client/{GAME}/{AGENT}/update_{NEWER_VERSION}.exe")
    if len(downloads) != (1 if fetched else 0):
        raise Failure(f"the installer was asked for {len(downloads)} times")


HOME_PAGE = f"{PUBLISHER_URL}/home.html"
INSTALLER_ADDRESS = f"{PUBLISHER_URL}/client/{GAME}/{AGENT}/update_{NEWER_VERSION}.exe"


def update_raised_version(build):
    """A newer version offered with an older release's signature is refused before anything is
    downloaded; the player is sent to the publisher's home page."""
    with Session(build, "update-raised-version", version=OWN_VERSION, installer=build.installer,
                 publisher_options=["--tamper", "version"], record_shell=True) as s:
        expect_refused(s, UPDATE_NOT_VERIFIED, HOME_PAGE, fetched=False)


def update_tampered_installer(build):
    """An installer with one byte changed is downloaded but not verified: nothing runs, and the
    player is sent to the home page, never to the refused file."""
    with Session(build, "update-tampered-installer", version=NEWER_VERSION, installer=build.installer,
                 publisher_options=["--tamper", "installer"], record_shell=True) as s:
        expect_refused(s, UPDATE_NOT_VERIFIED, HOME_PAGE, fetched=True)


def update_unsigned(build):
    """A release without a signature is refused before anything is downloaded."""
    with Session(build, "update-unsigned", version=NEWER_VERSION, installer=build.installer, signed=False,
                 record_shell=True) as s:
        expect_refused(s, UPDATE_NOT_VERIFIED, HOME_PAGE, fetched=False)


def update_not_startable(build):
    """A signed release whose installer verifies but is no program: its start fails, and the
    player is told the update failed and sent to the installer's address."""
    build.work.mkdir(parents=True, exist_ok=True)
    not_a_program = build.work / f"not-a-program-{os.getpid()}.exe"
    not_a_program.write_bytes(b"\x00not a program\x00" * 512)
    try:
        with Session(build, "update-not-startable", version=NEWER_VERSION, installer=not_a_program,
                     record_shell=True) as s:
            expect_refused(s, UPDATE_FAILED, INSTALLER_ADDRESS, fetched=True)
    finally:
        not_a_program.unlink()


def https(build):
    """The launcher built for a publisher on https, against the publisher serving TLS with a test
    authority that only this test's Wine prefix and browser trust: the update check and the
    installer download, then, with no update due, the login page and the game."""
    with Session(build, "https-update", version=NEWER_VERSION, installer=build.installer, download_seconds=4,
                 tls=True) as s:
        s.start_launcher()
        expect_installed(s)
        s.publisher.wait_request(f"/client/{GAME}/{AGENT}/config.xml", 5)
    with Session(build, "https-login", tls=True) as s:
        s.start_launcher()
        log_in(s)
        s.publisher.check_page_agents()


# The releases the installer scenarios publish with scripts/release: the one installed first, and
# its update.
RELEASE, NEXT_RELEASE = "2020111210", "2020111211"
UPDATE_DOCUMENT = f"/client/{GAME}/{AGENT}/config.xml"


def publish_releases(build, name, versions):
    """The versions published one after the other with scripts/release into a new folder, which
    is returned: their setups, and the server's tree offering the last."""
    releases = build.work / f"{name}-releases-{os.getpid()}"
    shutil.rmtree(releases, ignore_errors=True)
    for version in versions:
        code, messages = release(build, version, releases)
        if code != 0:
            raise Failure(f"scripts/release {version} failed with exit code {code}:\n{messages}")
        setup_version = product_version(releases / f"OrvelClient-setup-{version}.exe")
        if setup_version != version:
            raise Failure(f"the setup of {version} names version {setup_version!r}")
    return releases


@contextlib.contextmanager
def installed_release(build, name, base, newer, out=None):
    """Releases `base` and `newer` published with scripts/release, `base` installed silently, and a
    session of the installed launcher against the publisher serving the releases' tree, which offers
    `newer`. Yields (session, installation, the releases' folder), which goes once all went well."""
    releases = publish_releases(build, name, (base, newer))
    # The download takes a few seconds, as over a real line: at full speed the update window can
    # close before anyone sees it.
    options = ["--www", str(releases / "www"), "--download-seconds", "4"]
    with Installation() as installation:
        installation.install(releases / f"OrvelClient-setup-{base}.exe")
        if installation.version() != base:
            raise Failure(f"the Apps list names version {installation.version()}, not {base}")
        with Session(build, name, app=installation.folder, publisher_options=options, out=out) as s:
            yield s, installation, releases
    shutil.rmtree(releases)


def play_update_loop(s, installation, base, newer):
    """The installed `base`, started from its Start menu shortcut's target, finds `newer`, downloads,
    verifies and starts its setup and ends; the setup replaces the files and starts `newer`, which
    finds no update and shows the login window (returned)."""
    if installation.shortcut_target() != installation.launcher:
        raise Failure(f"the Start menu shortcut starts {installation.shortcut_target()}")
    s.start_launcher()
    s.wait_window(UPDATE_CLASS, "Update", FIRST_WINDOW_SECONDS)
    found = time.monotonic()
    s.screenshot("update-window")
    code = s.wait_exit(60)
    if code != 0:
        raise Failure(f"release {base} ended with exit code {code}")
    ended = time.monotonic()
    checks = s.publisher.wait_request(UPDATE_DOCUMENT, FIRST_WINDOW_SECONDS, count=2)
    started = time.monotonic()
    if [c["target"] for c in checks] != [f"{UPDATE_DOCUMENT}?ver{base}", f"{UPDATE_DOCUMENT}?ver{newer}"]:
        raise Failure(f"the update checks asked for {[c['target'] for c in checks]}")
    login = s.wait_window(LOGIN_CLASS, "Login", FIRST_WINDOW_SECONDS)
    s.wait_colour("login form on the screen", login, LOGIN_BUTTON_FACE, 30, is_login_button)
    log(f"update window of {base} to the login window of {newer}: {time.monotonic() - found:.1f} s "
        f"(the download of 4 s and the setup's start {ended - found:.1f} s, "
        f"setup to {newer}'s update check {started - ended:.1f} s, "
        f"to its login page {time.monotonic() - started:.1f} s)")
    s.screenshot("updated-login")
    downloads = s.publisher.requests(f"/client/{GAME}/{AGENT}/update_{newer}.exe")
    if len(downloads) != 1 or s.windows(UPDATE_CLASS):
        raise Failure(f"{len(downloads)} downloads of the setup; update windows now: {s.windows(UPDATE_CLASS)}")
    if installation.version() != newer or product_version(installation.launcher) != newer:
        raise Failure(f"after the update the Apps list names version {installation.version()}, the launcher "
                      f"{product_version(installation.launcher)}")
    return login


def release_loop(build):
    """Release N, installed silently, updates itself to release N+1 as scripts/release published it
    (play_update_loop); scripts/release then refuses to publish N again. A link
    "orvelclient://<game address>" opened through the shell starts the installed launcher straight
    into the game window."""
    with installed_release(build, "release-loop", RELEASE, NEXT_RELEASE) as (s, installation, releases):
        login = play_update_loop(s, installation, RELEASE, NEXT_RELEASE)
        code, messages = release(build, RELEASE, releases)
        offered = document_value((releases / "www" / UPDATE_DOCUMENT.lstrip("/")).read_text(encoding="utf-8"),
                                 "Version")
        if code == 0 or f"{RELEASE} does not order after {NEXT_RELEASE}" not in messages or offered != NEXT_RELEASE:
            raise Failure(f"publishing {RELEASE} after {NEXT_RELEASE}: exit code {code}, the server offers "
                          f"{offered}:\n{messages}")

        close_login(s, login)
        installation.expose_protocol()
        s.open_in_shell(f"orvelclient://{PUBLISHER_URL}/game.html?user=linked")
        s.wait_window(GAME_CLASS, GAME_TITLE, FIRST_WINDOW_SECONDS)
        entry = s.publisher.wait_request("/game.html", 30)[0]
        if entry["target"] != "/game.html?user=linked&desktopType=1" or s.windows(LOGIN_CLASS):
            raise Failure(f"the linked launcher asked for {entry['target']}; login windows: {s.windows(LOGIN_CLASS)}")
        s.publisher.wait_request("/client/orvelclient.js", 30)
        s.publisher.check_page_agents()


def install_over_running(build):
    """A silent setup of N+1 started while N runs waits for it: the player goes on into the game
    meanwhile and N's files stay; once the player closes N the setup replaces them and starts
    N+1. Uninstalling silently then leaves nothing of the installation but the player's profile."""
    releases = publish_releases(build, "install-over-running", (RELEASE, NEXT_RELEASE))
    with Installation() as installation:
        installation.install(releases / f"OrvelClient-setup-{RELEASE}.exe")
        installed = sha256_of(installation.launcher)
        # The publisher offers the test build's own version: no update for either release.
        with Session(build, "install-over-running", app=installation.folder) as s:
            s.start_launcher()
            first = s.wait_window(LOGIN_CLASS, "Login", FIRST_WINDOW_SECONDS)["pid"]
            plugins = installation.plugin_folders()
            setup = installation.start_setup(releases / f"OrvelClient-setup-{NEXT_RELEASE}.exe")
            try:
                wait_for("the setup's launcher check", 60, lambda: installation.plugin_folders() - plugins)
                # The player logs in and plays on for a while: longer than the setup would give a
                # launcher's files to be let go of, were it not waiting for the launcher itself.
                game = log_in(s)
                if setup.poll() is not None or sha256_of(installation.launcher) != installed or \
                        installation.version() != RELEASE:
                    raise Failure(f"the setup did not wait for the running launcher (its exit code "
                                  f"{setup.poll()}, the Apps list names {installation.version()})")
                close_game(s, game, "Yes")
                if s.wait_exit(30) != 0:
                    raise Failure("the game's close did not end the launcher with exit code 0")
                code = setup.wait(120)
            except subprocess.TimeoutExpired:
                raise Failure("the setup did not end within 120 s of the launcher's end") from None
            finally:
                if setup.poll() is None:
                    setup.kill()
            if code != 0 or sha256_of(installation.launcher) == installed or installation.version() != NEXT_RELEASE:
                raise Failure(f"the setup ended with exit code {code}, the Apps list names {installation.version()}")
            login = s.wait_window(LOGIN_CLASS, "Login", FIRST_WINDOW_SECONDS, exclude_pids={first})
            check = s.publisher.wait_request(UPDATE_DOCUMENT, 30, count=2)[-1]
            if check["target"] != f"{UPDATE_DOCUMENT}?ver{NEXT_RELEASE}":
                raise Failure(f"the started launcher asked for {check['target']}")
            close_login(s, login)

        s.wine(installation.folder / "uninstall.exe", "/S")
        wait_for("the uninstaller to take the installation away", 60, lambda: not installation.remains(), interval=1)
        if not installation.profile.is_dir() or not any(installation.profile.iterdir()):
            raise Failure(f"the uninstaller did not keep the player's profile {installation.profile}")
    shutil.rmtree(releases)


def demo(build, out, version):
    """The demonstration's tour, with screenshots in `out`; with a newer `version`, the update loop
    from the test build's version to that one, both published with scripts/release."""
    if version != OWN_VERSION:
        with installed_release(build, "demo", OWN_VERSION, version, out=out) as (s, inst, _):
            play_update_loop(s, inst, OWN_VERSION, version)
        return
    with Session(build, "demo", out=out) as s:
        s.start_launcher()
        game = log_in(s)
        close_game(s, game, "No")
        s.click(game, game_link(game, "guide"))
        popup = s.wait_window(POPUP_CLASS, GAME_TITLE, 30)
        s.publisher.wait_request("/support.html", 30)
        s.screenshot("popup")
        popup = s.current(popup)
        s.click(popup, (popup["client"][2] // 2, popup["client"][3] // 2))
        s.key("alt+F4")
        wait_for("popup to close", 20, lambda: not s.windows(POPUP_CLASS))
        # The page's closeWindow button ends the launcher.
        s.click(game, bridge_button(game, "closeWindow"))
        s.wait_exit(30)


SCENARIOS = {f.__name__: f for f in (login, exit_confirmation, return_to_login, kept_profile, popups, hostile,
                                     update, update_raised_version, update_tampered_installer, update_unsigned,
                                     update_not_startable, https, release_loop, install_over_running)}


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("scenario", choices=sorted(SCENARIOS) + ["demo"])
    parser.add_argument("--build", required=True, help="the x86_64 build folder")
    parser.add_argument("--out", help="demo: the folder for the log, the screenshots and the app")
    parser.add_argument("--version", default=OWN_VERSION, help="demo: the version the server offers")
    args = parser.parse_args()
    started = time.monotonic()
    try:
        build = Build(args.build)
        if args.scenario == "demo":
            if not args.out:
                parser.error("demo needs --out")
            demo(build, args.out, args.version)
        else:
            SCENARIOS[args.scenario](build)
    except Failure as failure:
        log(f"{args.scenario}: FAILED: {failure}")
        return 1
    log(f"{args.scenario}: passed in {time.monotonic() - started:.1f} s")
    return 0


if __name__ == "__main__":
    sys.exit(main())
