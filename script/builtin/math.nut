// The script half of the Math table: element-wise arithmetic over arrays and numbers, clamps,
// interpolation, extremes, shuffling, ranges, distances and angles. Random, Bezier, toRadian
// and toDegree are native.

// Applies f to the arguments, element-wise over those that are arrays: arrays must all have
// the same length (otherwise the answer is null), other arguments are used with every
// element. Elements that are arrays themselves are mapped again.
Math.map__ <- function(f, args) {
    local len = -1;
    foreach (a in args) {
        if (typeof a == "array") {
            if (len == -1) {
                len = a.len();
            } else if (a.len() != len) {
                return null;
            }
        }
    }
    if (len == -1) {
        local call = [::getroottable()];
        call.extend(args);
        return f.acall(call);
    }
    local result = array(len);
    local n = args.len();
    for (local i = 0; i < len; ++i) {
        local elems = array(n);
        for (local j = 0; j < n; ++j) {
            local a = args[j];
            elems[j] = typeof a == "array" ? a[i] : a;
        }
        result[i] = ::Math.map__(f, elems);
    }
    return result;
}

Math.add <- function(lhs, rhs) {
    return ::Math.map__(function(a, b) { return a + b; }, [lhs, rhs]);
}

Math.sub <- function(lhs, rhs) {
    return ::Math.map__(function(a, b) { return a - b; }, [lhs, rhs]);
}

Math.mul <- function(lhs, rhs) {
    return ::Math.map__(function(a, b) { return a * b; }, [lhs, rhs]);
}

Math.div <- function(lhs, rhs) {
    return ::Math.map__(function(a, b) { return a / b; }, [lhs, rhs]);
}

Math.mod <- function(lhs, rhs) {
    return ::Math.map__(function(a, b) { return a % b; }, [lhs, rhs]);
}

Math.lerp_v <- function(start, end, ratio) {
    return start + (end - start) * ratio;
}

Math.lerp <- function(start, end, ratio) {
    return ::Math.map__(::Math.lerp_v, [start, end, ratio]);
}

Math.clamp_v <- function(n, min, max) {
    if (n < min) {
        return min;
    }
    if (n > max) {
        return max;
    }
    return n;
}

Math.clamp <- function(n, min, max) {
    if (typeof n != "array") {
        return ::Math.clamp_v(n, min, max);
    }
    return n.map(function(e) { return ::Math.clamp(e, min, max); });
}

// Past one end continues at the other.
Math.rclamp_v <- function(n, min, max) {
    if (n < min) {
        return max;
    }
    if (n > max) {
        return min;
    }
    return n;
}

Math.rclamp <- function(n, min, max) {
    if (typeof n != "array") {
        return ::Math.rclamp_v(n, min, max);
    }
    return n.map(function(e) { return ::Math.rclamp(e, min, max); });
}

// The values min and max choose from: the arguments, or the elements of a first argument
// that is an array.
Math.candidates__ <- function(args) {
    local values = args.len() > 0 && typeof args[0] == "array" ? args[0] : args;
    if (values.len() == 0) {
        throw "wrong number of parameters";
    }
    return values;
}

// Ties keep the first.
Math.min <- function(...) {
    local values = ::Math.candidates__(vargv);
    local best = values[0];
    foreach (v in values) {
        if (v < best) {
            best = v;
        }
    }
    return best;
}

Math.max <- function(...) {
    local values = ::Math.candidates__(vargv);
    local best = values[0];
    foreach (v in values) {
        if (v > best) {
            best = v;
        }
    }
    return best;
}

// Shuffles the array in place; the same seed gives the same order. Returns the array.
Math.shuffle <- function(values, seed = null) {
    local random = seed == null ? ::Math.Random() : ::Math.Random(seed);
    local len = values.len();
    for (local i = 0; i < len; ++i) {
        local j = random.nextInt(i, len - 1);
        local t = values[i];
        values[i] = values[j];
        values[j] = t;
    }
    return values;
}

Math.shuffled <- function(values, seed = null) {
    return ::Math.shuffle(clone values, seed);
}

// From start towards end inclusive in steps of |step|. The walk stops where the next value
// would wrap past the integer range; a step of 0 that never arrives is refused.
Math.range <- function(start, end, step = 1) {
    if (step < 0) {
        step = -step;
    }
    if (start == end) {
        return [start];
    }
    if (step == 0) {
        throw "Math.range: step must not be 0";
    }
    local result = [];
    if (start < end) {
        while (start <= end) {
            result.append(start);
            local next = start + step;
            if (next <= start) {
                break;
            }
            start = next;
        }
    } else {
        step = -step;
        while (start >= end) {
            result.append(start);
            local next = start + step;
            if (next >= start) {
                break;
            }
            start = next;
        }
    }
    return result;
}

Math.between <- function(value, begin, end) {
    if (begin > end) {
        local t = begin;
        begin = end;
        end = t;
    }
    return begin <= value && value <= end;
}

// (x1, y1, x2, y2) or ([x1, y1], [x2, y2]) as the four numbers.
Math.points__ <- function(args) {
    if (args.len() == 4) {
        return args;
    }
    if (args.len() == 2) {
        return [args[0][0], args[0][1], args[1][0], args[1][1]];
    }
    throw "wrong number of parameters";
}

Math.distance <- function(...) {
    local p = ::Math.points__(vargv);
    local dx = p[2] - p[0];
    local dy = p[3] - p[1];
    return ::sqrt(dx * dx + dy * dy);
}

Math.angle <- function(...) {
    local p = ::Math.points__(vargv);
    return ::atan2(p[3] - p[1], p[2] - p[0]);
}
