// The setup editor lives here.
