// The Log table: levelled, tagged lines to a file and/or the console. Nothing is written
// unless the game runs with DEBUG set.

Log.Level <- {
    DEBUG = 0,
    INFO = 1,
    WARNING = 2,
    ERROR = 3
};

Log.Mode <- {
    FILE = 1,
    CONSOLE = 2
};

Log.g_outputPath <- "log.txt";
Log.g_outputMode <- Log.Mode.FILE;

Log.setOutputPath <- function(path) {
    ::Log.g_outputPath = path;
}

Log.getOutputPath <- function() {
    return ::Log.g_outputPath;
}

Log.setOutputMode <- function(mode) {
    ::Log.g_outputMode = mode;
}

Log.getOutputMode <- function() {
    return ::Log.g_outputMode;
}

// Empties the log file.
Log.clear <- function() {
    if (::DEBUG) {
        ::IO.writeTextFile(::Log.g_outputPath, "");
    }
}

// One line: level letter, tag, local time, the calling script and line, the message.
Log.write__ <- function(level, tag, source, line, message) {
    if (!::DEBUG) {
        return;
    }
    local letters = ["d", "i", "w", "e"];
    local letter = typeof level == "integer" && level >= 0 && level < 4 ? letters[level] : "-";
    local now = ::date();
    local stamp = ::format("%d/%02d/%02d %02d:%02d:%02d", now.year, now.month + 1, now.day,
                           now.hour, now.min, now.sec);
    local text = ::format("[%s] <%s> %s %s(%d) %s\n", letter, "" + tag, stamp, source,
                          line, "" + message);
    local mode = ::Log.g_outputMode;
    if (mode & ::Log.Mode.FILE) {
        ::IO.appendTextFile(::Log.g_outputPath, text);
    }
    if (mode & ::Log.Mode.CONSOLE) {
        ::print(text);
    }
}

// Where the writer was called from: two levels up from here.
Log.caller__ <- function() {
    local info = ::getstackinfos(3);
    if (info == null) {
        return ["unknown", 0];
    }
    return [info.src, info.line];
}

Log.write <- function(level, tag, message) {
    if (::DEBUG) {
        local at = ::Log.caller__();
        ::Log.write__(level, tag, at[0], at[1], message);
    }
}

Log.d <- function(tag, message) {
    if (::DEBUG) {
        local at = ::Log.caller__();
        ::Log.write__(::Log.Level.DEBUG, tag, at[0], at[1], message);
    }
}

Log.i <- function(tag, message) {
    if (::DEBUG) {
        local at = ::Log.caller__();
        ::Log.write__(::Log.Level.INFO, tag, at[0], at[1], message);
    }
}

Log.w <- function(tag, message) {
    if (::DEBUG) {
        local at = ::Log.caller__();
        ::Log.write__(::Log.Level.WARNING, tag, at[0], at[1], message);
    }
}

Log.e <- function(tag, message) {
    if (::DEBUG) {
        local at = ::Log.caller__();
        ::Log.write__(::Log.Level.ERROR, tag, at[0], at[1], message);
    }
}
