macro project
