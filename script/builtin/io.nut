// Whole-file shortcuts of the IO table. Each one turns any error on the way (a file that
// cannot be opened, an unknown encoding) into its failure result, so callers test a value
// instead of catching.

IO.exists <- function(path) {
    return ::IO.File(path).exists();
}

IO.existsFile <- function(path) {
    return ::IO.File(path).isFile();
}

IO.existsDirectory <- function(path) {
    return ::IO.File(path).isDirectory();
}

// The whole text of the file, or null when it cannot be read.
IO.readTextFile <- function(path, encoding = IO.Encoding.SJIS) {
    try {
        local reader = ::IO.TextReader(path, 0, encoding);
        local text = reader.readAll();
        reader.close();
        return text;
    } catch (e) {
        return null;
    }
}

// Replaces the file's content with text (line feeds are stored as CR LF); true when every
// character was written.
IO.writeTextFile <- function(path, text, encoding = IO.Encoding.SJIS) {
    try {
        local writer = ::IO.TextWriter(path, 0, encoding);
        local written = writer.write(text);
        writer.close();
        return written == text.len();
    } catch (e) {
        return false;
    }
}

// Adds text at the end of the file, creating it when it does not exist.
IO.appendTextFile <- function(path, text, encoding = IO.Encoding.SJIS) {
    try {
        local writer = ::IO.TextWriter(path, ::IO.OpenOption.APPEND, encoding);
        local written = writer.write(text);
        writer.close();
        return written == text.len();
    } catch (e) {
        return false;
    }
}
