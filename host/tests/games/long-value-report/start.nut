// A local holding 32M characters, and an error message nearly as long: the report shows a
// prefix of each and its length, and error.txt stays small. The emoji straddles the cut of
// `edge` (255 characters, then a surrogate pair): it is left out whole, never halved.
local edge = "";
for (local i = 0; i < 255; ++i) edge += "a";
edge += "😀";
local kana = "";
for (local i = 0; i < 300; ++i) kana += "あ";
local big = "x";
for (local i = 0; i < 25; ++i) big += big;
throw "message " + big;
