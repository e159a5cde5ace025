title = "broken" +;
