print(Graphics.getScreenCanvas().getWidth() + " x " + Graphics.getScreenCanvas().getHeight() + "\n");
