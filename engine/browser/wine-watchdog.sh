#!/bin/bash
# The watchdog of the Wine start: it starts the Linux browser for node.dll running under Wine,
# hands it its DevTools pipe and tidies up after it.
#
# A Linux program started from a Windows one under Wine gets /dev/null as its standard input
# whatever it is handed, so the engine's Windows pipes cannot reach the browser. The engine
# listens on a loopback port instead; this script connects to it, proves with a one-time secret
# that it is the one the engine started, and gives the connected socket to the browser as its
# descriptors 3 (commands) and 4 (answers).
#
# It is embedded into node.dll at build time (engine/CMakeLists.txt) and run by
# engine/browser/WineStart.cpp, never on Windows, as
#
#   /bin/bash -c <this script> watchdog <browser> <profile> <port> <clean> <switch>...
#
#   <browser>   the browser's Unix path
#   <profile>   the profile folder's Unix path (made when missing)
#   <port>      the engine's loopback port to connect to
#   <clean>     "1": the profile is removed first; anything else keeps it
#   <switch>... the browser's switches, passed on as they are
#
# and with the secret in the environment variable WKE_PIPE_SECRET, which other users cannot read
# (a command line they can). The script ends when the browser has ended; the browser ends when
# its pipe does, which it does when the launcher ends in any way.

s=$WKE_PIPE_SECRET
unset WKE_PIPE_SECRET
b=$1
d=$2
port=$3
clean=$4
shift 4

# The engine answers only the first connection, and only with the right secret as its first line.
exec 3<>"/dev/tcp/127.0.0.1/$port" || exit 1
printf '%s\n' "$s" >&3

# The browser sends small messages back to back (an answer, then the next frame): the second would
# wait for the engine's delayed acknowledgement of the first, some 40 ms a frame. The shell cannot
# ask the socket to send at once; perl, where there is one, can.
command -v perl >/dev/null && perl -MSocket=IPPROTO_TCP,TCP_NODELAY \
    -e 'open(my $t, "+<&=", 3) or exit; setsockopt($t, IPPROTO_TCP, TCP_NODELAY, 1)' 2>/dev/null

# A browser of an earlier run may still be on the profile (its launcher has just ended and it is
# on its way out, still writing after it dropped its lock): any process with this profile as an
# argument of its own counts. on() prints their process ids. The pattern comes from a file so that
# grep's own command line does not match it.
on() { grep -lszxF -f <(printf '%s\n' "--user-data-dir=$d") /proc/[0-9]*/cmdline | cut -d/ -f3; }

# They are waited for, up to 10 s; past that they have no launcher left and are ended.
i=0
while [ -n "$(on)" ] && [ $i -lt 100 ]; do
    sleep 0.1
    i=$((i+1))
done
p=$(on)
if [ -n "$p" ]; then
    kill -9 $p
    sleep 0.5
fi

# With no browser alive on the profile, what a killed one left goes: its lock, and the folder of
# its single-instance socket in the system's temporary folder (only those two entries and the then
# empty folder, whatever the link says).
stale() {
    k=$(readlink "$d/SingletonSocket")
    t=${k%/SingletonSocket}
    if [ -n "$k" ] && [ "$t" != "$k" ]; then
        rm -f "$t/SingletonSocket" "$t/SingletonCookie"
        rmdir "$t" 2>/dev/null
    fi
    rm -f "$d/SingletonLock" "$d/SingletonSocket" "$d/SingletonCookie"
}
stale

# A clean start: the profile goes as a whole, and starts again empty.
if [ "$clean" = 1 ]; then rm -rf "$d"; fi
mkdir -p "$d"

# The browser refuses to start as root with its sandbox, and a Linux browser for a Windows program
# runs as whoever runs Wine: only then is the sandbox given up.
if [ "$(id -u)" = 0 ]; then set -- --no-sandbox "$@"; fi

# The browser gets the socket as its descriptors 3 and 4 and nothing else of this shell's.
"$b" "--user-data-dir=$d" "$@" about:blank 3<&3 4>&3 </dev/null >/dev/null 2>&1 &
c=$!

# Only the browser holds the socket now, so the pipe ends when the browser or the launcher does.
exec 3<&-
wait $c
stale
