Tamrick Tools per-user macros (stand-in content).
