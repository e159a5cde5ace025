// The script half of the Util table: the frame wait, the serializer, counters and the ring
// buffer. Timer, Fps and the literal writer serialize_ are native.

// The one frame keeper behind Util.fwait.
Util.g_koplayhost_fps <- Util.Fps(60);

// Ends the script's frame; when the host resumes it next frame, waits out the rest of that
// frame so the game runs at `fps` frames per second. True when the frame was already late.
Util.fwait <- function(fps) {
    local keeper = ::Util.g_koplayhost_fps;
    if (keeper.getFps() != fps) {
        keeper.setFps(fps);
    }
    ::suspend();
    return keeper.wait();
}

// --- Serializer ------------------------------------------------------------------------------
// A value becomes a flat array of plain values: structure is tagged by these markers, each
// array, table or instance carries its tostring() text as an ID, and one met again after it
// was written becomes a reference, so shared parts come back shared.

const SERIALIZE_MARKER_ARRAY = "@A#^r%Y";
const SERIALIZE_MARKER_TABLE = "@T#^a%B";
const SERIALIZE_MARKER_INSTANCE = "@I#^n%S";
const SERIALIZE_MARKER_REF = "@R#^e%F";

Util.serialize <- function(value) {
    local s = ::Util.Serializer();
    s.push(value);
    return s.serialize();
}

Util.deserialize <- function(text) {
    return ::Util.Deserializer(text).pop();
}

Util.deserialize_ <- function(text) {
    return ::compilestring("return " + text + ";").call(::getroottable());
}

Util.Serializer <- class {
    m_buffer = null;
    m_registered = null; // IDs of the objects written completely
    m_open = null;       // ID -> where it stands, for the objects being written now
    m_path = null;       // where the value being written stands, from the outermost value
    m_fields = null;     // fields passed through process() so far, per open instance

    constructor() {
        reset();
    }

    function reset() {
        m_buffer = [];
        m_registered = {};
        m_open = {};
        m_path = ["value"];
        m_fields = [];
    }

    function serialize() {
        return ::Util.serialize_(m_buffer);
    }

    function isSerializer() {
        return true;
    }

    function isDeserializer() {
        return false;
    }

    // Called by an instance's serialize_process for each field.
    function process(v) {
        if (m_fields.len() > 0) {
            local n = m_fields.top();
            m_fields[m_fields.len() - 1] = n + 1;
            pushAt__(v, ".<field " + n + ">");
        } else {
            push(v);
        }
        return v;
    }

    function push(v) {
        switch (typeof v) {
        case "array":
            if (begin__(v, SERIALIZE_MARKER_ARRAY)) {
                m_buffer.append(v.len());
                foreach (i, e in v) {
                    pushAt__(e, "[" + i + "]");
                }
                end__(v);
            }
            break;
        case "table":
            if (begin__(v, SERIALIZE_MARKER_TABLE)) {
                m_buffer.append(v.len());
                foreach (k, e in v) {
                    m_buffer.append(k);
                    pushAt__(e, typeof k == "string" ? "." + k : "[" + k + "]");
                }
                end__(v);
            }
            break;
        case "instance":
            if (begin__(v, SERIALIZE_MARKER_INSTANCE)) {
                m_buffer.append(v.serialize_class());
                m_fields.append(0);
                v.serialize_process(this);
                m_fields.pop();
                end__(v);
            }
            break;
        default:
            m_buffer.append(v);
        }
    }

    // After an error the state is left as it was: reset() before using the serializer again.
    function pushAt__(v, step) {
        // The path of each level is kept: without a bound, a chain of a million nested arrays
        // would hold paths of a million steps each.
        if (m_path.len() > 1000) throw "Util.Serializer: the value is nested deeper than 1000 levels";
        m_path.append(m_path.top() + step);
        push(v);
        m_path.pop();
    }

    // Writes a reference for an object written before and returns false; otherwise writes
    // the marker and ID and returns true. An object still open contains itself: its
    // contents would never end.
    function begin__(v, marker) {
        local id = v.tostring();
        if (id in m_registered) {
            m_buffer.append(SERIALIZE_MARKER_REF);
            m_buffer.append(id);
            return false;
        }
        if (id in m_open) {
            throw "Util.Serializer: the value contains itself: " + m_path.top() + " is " + m_open[id];
        }
        m_open[id] <- m_path.top();
        m_buffer.append(marker);
        m_buffer.append(id);
        return true;
    }

    function end__(v) {
        local id = v.tostring();
        delete m_open[id];
        m_registered[id] <- true;
    }
}

Util.Deserializer <- class {
    m_buffer = null;
    m_index = 0;
    m_registered = null;

    constructor(text) {
        reset(text);
    }

    function reset(text) {
        local buffer = ::Util.deserialize_(text);
        if (typeof buffer != "array") {
            throw "Util.Deserializer: the text is not serialized data";
        }
        m_buffer = buffer;
        m_index = 0;
        m_registered = {};
    }

    function isSerializer() {
        return false;
    }

    function isDeserializer() {
        return true;
    }

    // Called by an instance's serialize_process for each field: the field's stored value.
    function process(v) {
        return pop();
    }

    function pop() {
        local v = next__();
        if (typeof v != "string") {
            return v;
        }
        switch (v) {
        case SERIALIZE_MARKER_ARRAY: {
            local id = next__();
            local a = array(next__());
            for (local i = 0; i < a.len(); ++i) {
                a[i] = pop();
            }
            m_registered[id] <- a;
            return a;
        }
        case SERIALIZE_MARKER_TABLE: {
            local id = next__();
            local n = next__();
            local t = {};
            for (local i = 0; i < n; ++i) {
                local k = next__();
                t[k] <- pop();
            }
            m_registered[id] <- t;
            return t;
        }
        case SERIALIZE_MARKER_INSTANCE: {
            local id = next__();
            local name = next__();
            local o = ::compilestring("return " + name + "();").call(::getroottable());
            o.serialize_process(this);
            m_registered[id] <- o;
            return o;
        }
        case SERIALIZE_MARKER_REF: {
            local id = next__();
            if (!(id in m_registered)) {
                throw "Util.Deserializer: reference to an unknown object " + id;
            }
            return m_registered[id];
        }
        }
        return v;
    }

    function next__() {
        if (m_index >= m_buffer.len()) {
            throw "Util.Deserializer: the data ends too early";
        }
        return m_buffer[m_index++];
    }
}

// --- Counters --------------------------------------------------------------------------------
// inc and dec return the new value.

Util.Counter <- class {
    m_value = 0;

    constructor(value = 0) {
        m_value = value;
    }

    function _cloned(original) {
        m_value = original.m_value;
    }

    function get() {
        return m_value;
    }

    function set(v) {
        m_value = v;
    }

    function inc(step = 1) {
        m_value += step;
        return m_value;
    }

    function dec(step = 1) {
        m_value -= step;
        return m_value;
    }
}

// Counts within [min, max], wrapping from one end to the other.
Util.LoopCounter <- class {
    m_value = 0;
    m_min = 0;
    m_max = 0;

    constructor(min, max, value = null) {
        if (min > max) {
            throw "Util.LoopCounter: min > max";
        }
        if (value == null) {
            value = min;
        } else if (value < min || value > max) {
            throw "Util.LoopCounter: value is out range";
        }
        m_min = min;
        m_max = max;
        m_value = value;
    }

    function _cloned(original) {
        m_value = original.m_value;
        m_min = original.m_min;
        m_max = original.m_max;
    }

    function getMin() {
        return m_min;
    }

    function getMax() {
        return m_max;
    }

    function get() {
        return m_value;
    }

    function set(v) {
        if (v < m_min || v > m_max) {
            throw "Util.LoopCounter: value is out range";
        }
        m_value = v;
    }

    // Moves one by one |step| times, wrapping after each move; done in one computation.
    function inc(step = 1) {
        m_value = ::Util.loopStep__(m_value, m_min, m_max, step);
        return m_value;
    }

    function dec(step = 1) {
        return inc(-step);
    }
}

// Counts within [min, max], stopping at either end.
Util.StopCounter <- class {
    m_value = 0;
    m_min = 0;
    m_max = 0;

    constructor(min, max, value = null) {
        if (min > max) {
            throw "Util.StopCounter: min > max";
        }
        if (value == null) {
            value = min;
        } else if (value < min || value > max) {
            throw "Util.StopCounter: value is out range";
        }
        m_min = min;
        m_max = max;
        m_value = value;
    }

    function _cloned(original) {
        m_value = original.m_value;
        m_min = original.m_min;
        m_max = original.m_max;
    }

    function getMin() {
        return m_min;
    }

    function getMax() {
        return m_max;
    }

    function get() {
        return m_value;
    }

    function set(v) {
        if (v < m_min || v > m_max) {
            throw "Util.StopCounter: value is out range";
        }
        m_value = v;
    }

    function inc(step = 1) {
        m_value += step;
        if (m_value > m_max) {
            m_value = m_max;
        } else if (m_value < m_min) {
            m_value = m_min;
        }
        return m_value;
    }

    function dec(step = 1) {
        return inc(-step);
    }
}

// Another counter running backwards.
Util.ReverseCounter <- class {
    m_counter = null;

    constructor(counter) {
        m_counter = counter;
    }

    function _cloned(original) {
        m_counter = clone original.m_counter;
    }

    function get() {
        return m_counter.get();
    }

    function set(v) {
        m_counter.set(v);
    }

    function inc(step = 1) {
        return m_counter.dec(step);
    }

    function dec(step = 1) {
        return m_counter.inc(step);
    }
}

// --- Ring buffer -----------------------------------------------------------------------------
// Keeps the last `size` values appended. m_bottom is the next write position; m_top stays -1
// until the buffer first wraps, then sits just before the oldest element.

Util.RingBuffer <- class {
    m_buffer = null;
    m_top = -1;
    m_bottom = 0;

    constructor(size) {
        m_buffer = array(size);
    }

    function append(v) {
        local capacity = m_buffer.len();
        if (capacity == 0) {
            return;
        }
        m_buffer[m_bottom] = v;
        m_bottom += 1;
        if (m_bottom >= capacity) {
            m_bottom = 0;
        }
        if (m_top != -1 || m_bottom == 0) {
            m_top = m_bottom == 0 ? capacity - 1 : m_bottom - 1;
        }
    }

    function clear() {
        m_top = -1;
        m_bottom = 0;
    }

    function getCapacity() {
        return m_buffer.len();
    }

    function len() {
        return m_top == -1 ? m_bottom : m_buffer.len();
    }

    // Index 0 is the oldest element.
    function get(index) {
        if (index < 0 || index >= len()) {
            throw "out of range";
        }
        return m_buffer[(m_top + 1 + index) % m_buffer.len()];
    }

    function top() {
        return get(0);
    }

    function bottom() {
        if (len() == 0) {
            throw "out of range";
        }
        return m_buffer[m_bottom == 0 ? m_buffer.len() - 1 : m_bottom - 1];
    }

    function toArray() {
        local n = len();
        local a = array(n);
        for (local i = 0; i < n; ++i) {
            a[i] = get(i);
        }
        return a;
    }
}
