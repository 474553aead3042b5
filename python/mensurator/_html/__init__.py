"""The HTML report: the page and its stylesheet, the MathML conversion of math lines and the
HTML of LaTeX block text."""
