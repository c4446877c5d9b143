user macros
