local s = "日本語のテキスト、ｶﾀｶﾅ";
print(s + " " + s.len() + "\n");
