# needs: root, protected-links
# Another user's link in a shared folder, which the system would not follow for root: nor does
# cuefold.
$ mkdir -m 1777 shared; printf 'WEBVTT\n\nSECRET\n' >secret.vtt
> ln -s "$PWD/secret.vtt" shared/x.vtt
$ chown -h nobody shared/x.vtt; cuefold -i in.txt -o shared/x.vtt
Error writing output file: shared/x.vtt: not followed: a link in the shared folder shared that the system would not follow to a file
[1]
$ cat secret.vtt
WEBVTT

SECRET
