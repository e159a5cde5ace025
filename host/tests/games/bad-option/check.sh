grep -q "koplayhost: --frames wants a count of frames, not 'many'" "$ERR" || { cat "$ERR"; exit 1; }
