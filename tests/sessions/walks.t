# Paths walked as the system walks them: ".." in a linked folder, "-" as the transcript, batch
# outputs meeting through dangling links.
$ mkdir -p real/sub; ln -s real/sub link; printf 'WEBVTT\n\nKEEP\n' >t.vtt
> printf 'WEBVTT\n\nOLD\n' >real/t.vtt; ln -s t.vtt real/out.vtt
$ cuefold -i in.txt -o link/../out.vtt; cat t.vtt; tail -n 2 real/t.vtt
Successfully converted in.txt to link/../out.vtt
WEBVTT

KEEP
<v Speaker>Hello

$ cp in.txt s.txt; cuefold -i s.txt -o - 1<>s.txt; cuefold -i s.txt -o - >>s.txt
> cuefold -i - -o /dev/stdin 0<>s.txt; cmp s.txt in.txt
Error writing output file: - is the transcript itself; not converted over itself (use --force to do so)
Error writing output file: - is the transcript itself; not converted over itself (use --force to do so)
Error writing output file: /dev/stdin is the transcript itself; not converted over itself (use --force to do so)
$ mkdir d; ln -s a.vtt d/b.vtt; ln -s m.vtt d/c.vtt; ln -s m.vtt d/e.vtt
> for f in a b c e; do cp in.txt $f.txt; done; cuefold --output-dir d a.txt b.txt
cuefold: a.txt and b.txt would both be written to d/b.vtt; nothing converted
[1]
$ cuefold --output-dir d c.txt e.txt; ls d
cuefold: c.txt and e.txt would both be written to d/e.vtt; nothing converted
b.vtt
c.vtt
e.vtt
