title = "thrown";
throw "no setup today";
