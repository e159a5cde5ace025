// The Collection table: copying and filtering arrays and tables. A filter is called as
// filter(key, value), the key being the array index or the table key.

Collection.copy <- function(dst, src) {
    local kind = typeof dst;
    if (kind != typeof src || (kind != "array" && kind != "table")) {
        throw "type miss match";
    }
    if (dst == src) {
        return dst; // clearing first would lose a table copied onto itself
    }
    if (kind == "array") {
        dst.resize(src.len());
        foreach (i, v in src) {
            dst[i] = v;
        }
    } else {
        dst.clear();
        foreach (k, v in src) {
            dst[k] <- v;
        }
    }
    return dst;
}

// A new collection of the entries whose filter result is `keep`.
Collection.filtered__ <- function(collection, filter, keep) {
    switch (typeof collection) {
    case "array": {
        local result = [];
        foreach (i, v in collection) {
            if ((filter(i, v) ? true : false) == keep) {
                result.append(v);
            }
        }
        return result;
    }
    case "table": {
        local result = {};
        foreach (k, v in collection) {
            if ((filter(k, v) ? true : false) == keep) {
                result[k] <- v;
            }
        }
        return result;
    }
    }
    throw "type miss match";
}

Collection.removed <- function(collection, filter) {
    return ::Collection.filtered__(collection, filter, false);
}

Collection.selected <- function(collection, filter) {
    return ::Collection.filtered__(collection, filter, true);
}

Collection.remove <- function(collection, filter) {
    return ::Collection.copy(collection, ::Collection.removed(collection, filter));
}

Collection.select <- function(collection, filter) {
    return ::Collection.copy(collection, ::Collection.selected(collection, filter));
}
