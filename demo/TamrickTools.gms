Tamrick Tools demo macro project (stand-in content, not a real GMS file).
