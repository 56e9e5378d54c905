# Domain list input (file loading, typed names, samples).
