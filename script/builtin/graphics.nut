// The script half of the Graphics table: the one screen canvas object scripts share.
Graphics.g_screenCanvas <- null;

Graphics.getScreenCanvas <- function() {
    if (Graphics.g_screenCanvas == null) {
        Graphics.g_screenCanvas = Graphics.getScreenCanvas_();
    }
    return Graphics.g_screenCanvas;
}
