#include "remote/options.h"

const char* UsageText() {
    return R"(NAME
    corvane-remote - remote control for CorvaneServer from a terminal or a script

SYNOPSIS
    corvane-remote [OPTIONS] discover
    corvane-remote [OPTIONS] send LINE...
    corvane-remote [OPTIONS] present
    corvane-remote --help | --version

DESCRIPTION
    corvane-remote speaks the same protocol as the phone app. It finds computers running
    CorvaneServer on the local network, logs in with the password set on that computer and
    sends command lines: from the command line (send), or from the keyboard while you present
    (present).

    Without --host, send and present first look for a computer the way discover does and use
    the first one that answers; when none answers they say so and exit with status 3.

COMMANDS
    discover
        Sends a discovery probe as a broadcast to port 33589 and to the multicast group
        227.23.24.25 port 45789, on every network interface with an IPv4 address, and lists
        every computer that answers within the listening time (--listen): its hardware
        address, TCP port, the address it answered from, the probes it answered (broadcast,
        multicast, direct) and its name. With --host, only that address is probed, directly.

    send LINE...
        Logs in and sends each LINE as one command line, in order, printing every answer on
        standard output as it arrives. A LINE is COMMAND:PARAMETER; a LINE without ':' gets
        one appended, so PptNextPage means PptNextPage:. Options go before "send".
        Only QueryInfo and Heartbeat lines are answered; each LINE is confirmed (through a
        Heartbeat behind it) before the next one is sent. Useful lines:
            PptNextPage  PptPrevPage  PptGotoPage:N  PptQuit
            PptChangeState:0 (arrow)  PptChangeState:1 (pen)  PptChangeState:3 (black)
            QueryInfo:PptCurPage  QueryInfo:PcInfo  QueryInfo:Version  QueryInfo:CmdList
            MouseMove:DX,DY  MouseLeftClick  Keyboard:...  Heartbeat

    present
        Interactive mode: logs in, shows "slide N of M" (asked for every second with
        QueryInfo:PptCurPage) and turns the keys below into commands. A Heartbeat goes out
        every 10 seconds (--heartbeat). On a terminal the keyboard is read key by key; from a
        pipe or file the same bytes are read as keys and the end of input quits.

KEYS (present)
    Right, Space, PageDown   next slide
    Left, PageUp             previous slide
    digits, then Enter       go to that slide (Backspace corrects, Escape cancels)
    b                        black screen; b again: back to the slide
    p                        pen; p again: back to the arrow
    Escape                   end the slideshow
    q, Ctrl+C, Ctrl+D        quit corvane-remote (the slideshow stays as it is)

OPTIONS
    -H, --host HOST[:PORT]
        The computer to use (name or IPv4 address), instead of discovering one. For discover:
        probe only this address.
    -p, --port PORT
        TCP port of the computer (default 33589, or the port it announced when discovered).
    -P, --password PASSWORD
        Login password (default: $CORVANE_PASSWORD, else 735, the server's factory setting).
    --id ID
        Client id sent with probes and the login (default corvane-remote). No commas.
    --name NAME
        Name shown in the computer's login notice (default: this computer's host name).
    --listen MS
        How long discover collects answers (default 1500 ms).
    --timeout MS
        How long to wait for a connection, the login answer or a command's answer
        (default 5000 ms).
    --heartbeat SECONDS
        Heartbeat interval in present mode (default 10; the computer closes a connection that
        stays silent for 30 seconds).
    -h, --help
        This text.
    --version
        The version of corvane-remote.

EXIT STATUS
    0   success
    1   failure: the connection was lost or closed by the computer, a system error, an
        unexpected answer
    2   wrong command line
    3   no answer: no computer answered the discovery probes, or the computer did not answer
        the connection, the login or a command within --timeout
    4   connection refused: nothing listens on that port (is CorvaneServer running there?)
    5   wrong password: the computer answered the login with Login:ER (after 5 wrong passwords
        in a row it refuses every login from the address for a minute)

EXAMPLES
    corvane-remote discover
    corvane-remote send PptNextPage
    corvane-remote --host 192.168.1.20 --password 735 send QueryInfo:PptCurPage
    corvane-remote -H office-pc send PptGotoPage:1 'PptChangeState:3'
    CORVANE_PASSWORD=secret corvane-remote present
)";
}
