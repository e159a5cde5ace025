// Every size a script can ask for either works or ends in a script error; nothing aborts.
function attempt(label, f) {
  try { print(label + " -> " + f() + "\n"); } catch (e) print(label + " -> error: " + e + "\n");
}
attempt("string doubled 40 times", function() {
  local s = "x";
  for (local i = 0; i < 40; i++) s += s;
  return s.len();
});
attempt("string doubled up to the limit works", function() {
  local s = "x";
  for (local i = 0; i < 20; i++) s = s + s;
  return s.len();
});
attempt("concatenation of two halves past the limit", function() {
  local s = "y";
  for (local i = 0; i < 26; i++) s += s;
  return (s + s).len();
});
attempt("array(2147483647)", @() array(2147483647).len());
attempt("array(-1)", @() array(-1));
attempt("resize(2147483647)", @() [].resize(2147483647));
attempt("blob(2147483647)", @() blob(2147483647).len());
attempt("blob(-5)", @() blob(-5));
attempt("blob resize", @() blob(4).resize(2147483647));
attempt("blob written into itself", function() {
  local b = blob(0);
  b.writen(0x04030201, 'i');
  for (local i = 0; i < 10; i++) b.writeblob(b);
  b.seek(4092);
  return b.len() + " " + b.readn('i');
});
attempt("format of a huge width", @() format("%99999999d", 1));
attempt("format of many long strings", function() {
  local s = "z";
  for (local i = 0; i < 24; i++) s += s;
  return format("%s%s%s%s%s%s%s%s", s, s, s, s, s, s, s, s).len();
});
attempt("regexp of a long text", function() {
  local s = "ab";
  for (local i = 0; i < 20; i++) s += s;
  return regexp("(a|b)*c").search(s);
});
attempt("regexp huge repeat", @() regexp("a{99999999}").match("a"));
attempt("still running", @() "yes");
