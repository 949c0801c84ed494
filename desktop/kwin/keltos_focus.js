// Loaded into KWin by KELTOS: tells KELTOS which window is active, whenever it changes, and
// whenever that window's title, frame or minimized state changes. It sends only the first five
// characters of the title (all KELTOS needs to recognise itself), the frame and the minimized
// state, to the D-Bus connection whose unique name KELTOS puts in place of KELTOS_SERVICE when it
// loads this script. It reads nothing else and changes nothing in KWin.
//
// One report is one string:  "<serial> <minimized 0|1> <x> <y> <width> <height> <id>\n<title>",
// or "<serial>" alone when no window is active.
// Works with Plasma 5 (clientActivated, activeClient) and Plasma 6 (windowActivated,
// activeWindow).

var keltos = "KELTOS_SERVICE";
var serial = 0;
var watched = null;

function activeWindow() {
    return workspace.activeWindow !== undefined ? workspace.activeWindow : workspace.activeClient;
}

// The first five characters; a character outside the Basic Multilingual Plane is one character
// made of two UTF-16 units, and is kept whole.
function firstCharacters(text) {
    var out = "";
    var characters = 0;
    for (var i = 0; i < text.length && characters < 5; ++i, ++characters) {
        var unit = text.charCodeAt(i);
        out += text.charAt(i);
        if (unit >= 0xd800 && unit <= 0xdbff && i + 1 < text.length) out += text.charAt(++i);
    }
    return out;
}

function report() {
    var w = activeWindow();
    var text = String(++serial);
    if (w) {
        var g = w.frameGeometry;
        text += " " + (w.minimized ? 1 : 0) + " " + g.x + " " + g.y + " " + g.width + " " +
                g.height + " " + String(w.internalId) + "\n" + firstCharacters(String(w.caption));
    }
    callDBus(keltos, "/org/keltos/Focus", "org.keltos.Focus", "Report", text);
}

function watch(w) {
    if (watched) {
        try {
            watched.captionChanged.disconnect(report);
            watched.frameGeometryChanged.disconnect(report);
            watched.minimizedChanged.disconnect(report);
        } catch (gone) {
            // The window has been closed since: nothing is connected any more.
        }
    }
    watched = w;
    if (w) {
        w.captionChanged.connect(report);
        w.frameGeometryChanged.connect(report);
        w.minimizedChanged.connect(report);
    }
}

function activated(w) {
    watch(w);
    report();
}

if (workspace.windowActivated !== undefined)
    workspace.windowActivated.connect(activated);
else
    workspace.clientActivated.connect(activated);
activated(activeWindow());
